#ifndef VYN_COMMAND_VYN_OS_FAUX_AIF_H
#define VYN_COMMAND_VYN_OS_FAUX_AIF_H

// One adapter-initiated-event slot of a driver connection. The event channel
// fills in its members; a connection holds three of them.
struct FAUX_AIF_CONTEXT {
    FAUX_AIF_CONTEXT() = default;
    ~FAUX_AIF_CONTEXT() = default;
    FAUX_AIF_CONTEXT(const FAUX_AIF_CONTEXT&) = delete;
    FAUX_AIF_CONTEXT& operator=(const FAUX_AIF_CONTEXT&) = delete;
};

#endif
