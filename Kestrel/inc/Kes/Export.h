#pragma once
// Symbols of libKestrel.so that other libraries and modules call.
#define KES_API __attribute__((visibility("default")))
