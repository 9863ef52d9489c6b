#ifndef VYN_COMMON_RETURNCODE_H
#define VYN_COMMON_RETURNCODE_H

// Thrown out of a scope that cannot be set up (a bad argument, no memory);
// the operation that made the scope catches it and reports the code.
class ReturnCode {
public:
    explicit ReturnCode(int code) : code(code) {}
    int getCode() const { return code; }

private:
    int code;
};

#endif
