#pragma once
// Symbols of libBmpFormatApi.so: the type information of the BMP interfaces.
#define BMPAPI_API __attribute__((visibility("default")))
