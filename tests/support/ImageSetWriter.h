#ifndef VYN_TESTS_SUPPORT_IMAGESETWRITER_H
#define VYN_TESTS_SUPPORT_IMAGESETWRITER_H

// Writes small controller firmware image sets for tests, so that no image
// file is captured or checked in.

#endif
