#ifndef VYN_CLI_LIBRARYFACTORY_H
#define VYN_CLI_LIBRARYFACTORY_H

#include <functional>

class StorLibPlugin;

// Makes the storage-library object of one command line; the caller owns it.
// Null when it cannot be made.
using LibraryFactory = std::function<StorLibPlugin*()>;

// The library of the controller family, used by the program and the provider.
StorLibPlugin* createStorageLibrary();

#endif
