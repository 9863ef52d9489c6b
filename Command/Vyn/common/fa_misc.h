#ifndef VYN_COMMAND_VYN_COMMON_FA_MISC_H
#define VYN_COMMAND_VYN_COMMON_FA_MISC_H

// Name tables of the FIB trace; each returns a constant string, "Unknown" for
// a code outside its table unless noted.
const char* FSA_API_XLATE_FIB_CMD(int code);
// 0 to 257; "CT_UNKNOWN" from 258.
const char* FSA_API_XLATE_CT_SUBCMD(unsigned int code);
// 0 to 26; "MAX_VMCOMMAND_NUM" from 27.
const char* FSA_API_XLATE_CTVM_SUBCMD(unsigned int code);
const char* FSA_API_XLATE_CT_RESULTS(int code);
const char* FSA_API_XLATE_IOCTL_SUBCMD(int code);
const char* FSA_API_XLATE_EM_CMD(unsigned int code);
const char* FSA_API_XLATE_EM_SUBCMD(int code);
const char* FSA_API_XLATE_CL_SUBCMD(int code);
const char* FSA_API_XLATE_CL_RESULTS(int code);
const char* FSA_API_XLATE_AIF_SUBCMD(int code);
const char* FSA_API_XLATE_AIF_RESULTS(int code);

#endif
