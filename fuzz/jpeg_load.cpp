// Arbitrary bytes to the JPEG decoder through the registry.
#include "fuzztarget.h"

OX_FUZZ_LOAD_TARGET("jpeg_load", ".jpg")
