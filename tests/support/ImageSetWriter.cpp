#include "support/ImageSetWriter.h"
