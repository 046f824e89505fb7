#pragma once
// Symbols of libImageHost.so: the interfaces' type information and the host services.
#define IMAGEHOST_API __attribute__((visibility("default")))
