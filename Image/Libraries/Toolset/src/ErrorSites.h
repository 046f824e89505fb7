#pragma once
// Every internal-error site of the module and its toolset, in one table:
// the source string and line that a raised internal error carries. Where a
// site has no published line, it has a distinct value of its own here.
#include "Kes/Errors.h"

namespace Image::Sites {

// Src\KestrelStatic
// An attach while attached, or under another handle than the one recorded.
inline constexpr Kes::CSourceLine ModuleAttachRefused{"Src\\KestrelStatic", 29};
inline constexpr Kes::CSourceLine ModuleHandleMissing{"Src\\KestrelStatic", 50};
inline constexpr Kes::CSourceLine FrameworkVersion{"Src\\KestrelStatic", 226};

// Image\Libraries\Toolset\src\ModuleErrors
inline constexpr Kes::CSourceLine ErrorObjectMissing{"Image\\Libraries\\Toolset\\src\\ModuleErrors", 1001};

// Image\Formats\Bmp\Src\BmpImageFileImpl
inline constexpr Kes::CSourceLine NullWriterFile{"Image\\Formats\\Bmp\\Src\\BmpImageFileImpl", 80};
inline constexpr Kes::CSourceLine WriterPageRefused{"Image\\Formats\\Bmp\\Src\\BmpImageFileImpl", 110};
inline constexpr Kes::CSourceLine ModuleObjectMissing{"Image\\Formats\\Bmp\\Src\\BmpImageFileImpl", 1002};

// Image\Libraries\Toolset\src\CommonStreams (the contract; the conversion streams add theirs below)
inline constexpr Kes::CSourceLine StreamNullBuffer{"Image\\Libraries\\Toolset\\src\\CommonStreams", 1001};
inline constexpr Kes::CSourceLine StreamNegativeCount{"Image\\Libraries\\Toolset\\src\\CommonStreams", 1002};
inline constexpr Kes::CSourceLine StreamMissingSource{"Image\\Libraries\\Toolset\\src\\CommonStreams", 1003};
// CommonStreams conversion streams
inline constexpr Kes::CSourceLine UnpackBitsPerPixel{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2001};
inline constexpr Kes::CSourceLine UnpackWidth{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2002};
inline constexpr Kes::CSourceLine ColorMapMissing{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2003};
inline constexpr Kes::CSourceLine ColorMapNotGray{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2004};
inline constexpr Kes::CSourceLine ColorMapNotBlackAndWhite{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2005};
inline constexpr Kes::CSourceLine ColorCountNotWhole{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2006};
inline constexpr Kes::CSourceLine ColorMaskMissing{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2007};
inline constexpr Kes::CSourceLine ColorMaskPixelSize{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2008};
inline constexpr Kes::CSourceLine MaskedPixelCut{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2009};
inline constexpr Kes::CSourceLine FileRegionNoSource{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2010};
inline constexpr Kes::CSourceLine FileRegionNegativeStart{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2011};
inline constexpr Kes::CSourceLine FileRegionNoFile{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2012};
inline constexpr Kes::CSourceLine FileRegionNegativeLength{"Image\\Libraries\\Toolset\\src\\CommonStreams", 2013};

// Image\Formats\Bmp\Src\BmpStreams
inline constexpr Kes::CSourceLine FileReaderPixelFormat{"Image\\Formats\\Bmp\\Src\\BmpStreams", 34};
inline constexpr Kes::CSourceLine FileReaderImageSize{"Image\\Formats\\Bmp\\Src\\BmpStreams", 38};
inline constexpr Kes::CSourceLine FileReaderNoSource{"Image\\Formats\\Bmp\\Src\\BmpStreams", 48};
inline constexpr Kes::CSourceLine FileReaderReadCount{"Image\\Formats\\Bmp\\Src\\BmpStreams", 76};
inline constexpr Kes::CSourceLine FileReaderSkipCount{"Image\\Formats\\Bmp\\Src\\BmpStreams", 96};
inline constexpr Kes::CSourceLine FileReaderBlockRows{"Image\\Formats\\Bmp\\Src\\BmpStreams", 200};
inline constexpr Kes::CSourceLine MemoryReaderNoPixels{"Image\\Formats\\Bmp\\Src\\BmpStreams", 214};
inline constexpr Kes::CSourceLine MemoryReaderPixelFormat{"Image\\Formats\\Bmp\\Src\\BmpStreams", 217};
inline constexpr Kes::CSourceLine MemoryReaderHeight{"Image\\Formats\\Bmp\\Src\\BmpStreams", 220};
inline constexpr Kes::CSourceLine MemoryReaderRowBytes{"Image\\Formats\\Bmp\\Src\\BmpStreams", 222};
inline constexpr Kes::CSourceLine MemoryReaderReadCount{"Image\\Formats\\Bmp\\Src\\BmpStreams", 246};
inline constexpr Kes::CSourceLine MemoryReaderSkipCount{"Image\\Formats\\Bmp\\Src\\BmpStreams", 266};

// Image\Formats\Bmp\src\BmpRleReader
inline constexpr Kes::CSourceLine RleNoSource{"Image\\Formats\\Bmp\\src\\BmpRleReader", 19};
inline constexpr Kes::CSourceLine RleNoInfo{"Image\\Formats\\Bmp\\src\\BmpRleReader", 20};
inline constexpr Kes::CSourceLine RlePixelFormat{"Image\\Formats\\Bmp\\src\\BmpRleReader", 27};
inline constexpr Kes::CSourceLine RleImageSize{"Image\\Formats\\Bmp\\src\\BmpRleReader", 4001};

// Image\Formats\Bmp\Src\BmpImageRecorder
inline constexpr Kes::CSourceLine RecorderNoImage{"Image\\Formats\\Bmp\\Src\\BmpImageRecorder", 1001};
inline constexpr Kes::CSourceLine RecorderImageType{"Image\\Formats\\Bmp\\Src\\BmpImageRecorder", 1002};
inline constexpr Kes::CSourceLine RecorderImageSize{"Image\\Formats\\Bmp\\Src\\BmpImageRecorder", 1003};
inline constexpr Kes::CSourceLine RecorderNoEndStroke{"Image\\Formats\\Bmp\\Src\\BmpImageRecorder", 1004};

// Image\Formats\Bmp\Src\BmpImageCreator
inline constexpr Kes::CSourceLine CreatorNullDib{"Image\\Formats\\Bmp\\Src\\BmpImageCreator", 81};
inline constexpr Kes::CSourceLine CreatorNegativeXResolution{"Image\\Formats\\Bmp\\Src\\BmpImageCreator", 82};
inline constexpr Kes::CSourceLine CreatorNegativeYResolution{"Image\\Formats\\Bmp\\Src\\BmpImageCreator", 83};
inline constexpr Kes::CSourceLine CreatorUnexpected{"Image\\Formats\\Bmp\\Src\\BmpImageCreator", 145};

// Image\Formats\Bmp\Src\BmpImageSaveParams
inline constexpr Kes::CSourceLine SaveParamsStoreFormat{"Image\\Formats\\Bmp\\Src\\BmpImageSaveParams", 1001};

// Image\Libraries\Toolset\src\MetadataEntry
inline constexpr Kes::CSourceLine EntryGetIntegerEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 60};
inline constexpr Kes::CSourceLine EntryGetStringEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 71};
inline constexpr Kes::CSourceLine EntryGetRationalEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 82};
inline constexpr Kes::CSourceLine EntryGetDoubleEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 93};
inline constexpr Kes::CSourceLine EntryGetIntegersEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 107};
inline constexpr Kes::CSourceLine EntryGetStringsEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 119};
inline constexpr Kes::CSourceLine EntryGetRationalsEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 133};
inline constexpr Kes::CSourceLine EntryGetDoublesEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 145};
inline constexpr Kes::CSourceLine EntrySetIntegerType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 169};
inline constexpr Kes::CSourceLine EntrySetIntegerNegative{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 171};
inline constexpr Kes::CSourceLine EntrySetRationalType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 184};
inline constexpr Kes::CSourceLine EntrySetRationalNegative{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 186};
inline constexpr Kes::CSourceLine EntrySetDoubleType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 199};
inline constexpr Kes::CSourceLine EntrySetStringType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 212};
inline constexpr Kes::CSourceLine EntrySetIntegersType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 227};
inline constexpr Kes::CSourceLine EntrySetIntegersEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 228};
inline constexpr Kes::CSourceLine EntrySetIntegersNegative{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 233};
inline constexpr Kes::CSourceLine EntrySetRationalsType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 249};
inline constexpr Kes::CSourceLine EntrySetRationalsEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 250};
inline constexpr Kes::CSourceLine EntrySetRationalsNegative{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 255};
inline constexpr Kes::CSourceLine EntrySetDoublesType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 270};
inline constexpr Kes::CSourceLine EntrySetDoublesEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 271};
inline constexpr Kes::CSourceLine EntrySetStringsType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 284};
inline constexpr Kes::CSourceLine EntrySetStringsEmpty{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 285};
inline constexpr Kes::CSourceLine EntrySetBinaryType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 300};
inline constexpr Kes::CSourceLine EntrySetBinaryCount{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 301};
inline constexpr Kes::CSourceLine EntryStoreType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 403};
inline constexpr Kes::CSourceLine EntryClearType{"Image\\Libraries\\Toolset\\src\\MetadataEntry", 504};

// Image\Formats\Bmp\Src\BmpImageInfo
inline constexpr Kes::CSourceLine InfoResolutionBelowOne{"Image\\Formats\\Bmp\\Src\\BmpImageInfo", 1001};
inline constexpr Kes::CSourceLine InfoPixelFormatNumber{"Image\\Formats\\Bmp\\Src\\BmpImageInfo", 1002};

// Image\Libraries\Toolset\src\CommonServices

// Image\Libraries\Toolset\src\ImageFetchers (the fetchers report as the common services)
inline constexpr Kes::CSourceLine FetcherImageSize{"Image\\Libraries\\Toolset\\src\\CommonServices", 2001};
inline constexpr Kes::CSourceLine FetcherRowOutOfRange{"Image\\Libraries\\Toolset\\src\\CommonServices", 2002};
inline constexpr Kes::CSourceLine FetcherNoWriter{"Image\\Libraries\\Toolset\\src\\CommonServices", 2003};
inline constexpr Kes::CSourceLine FetcherNoImageServices{"Image\\Libraries\\Toolset\\src\\CommonServices", 2004};

// Image\Formats\Bmp\Src\BmpStreams (file output stream)
inline constexpr Kes::CSourceLine FileWriterSetUp{"Image\\Formats\\Bmp\\Src\\BmpStreams", 336};
inline constexpr Kes::CSourceLine FileWriterRow{"Image\\Formats\\Bmp\\Src\\BmpStreams", 342};
inline constexpr Kes::CSourceLine FileWriterPadding{"Image\\Formats\\Bmp\\Src\\BmpStreams", 350};

// Image\Libraries\Toolset\src\CommonStreams (stroke-to-bits converter)
inline constexpr Kes::CSourceLine StrokeWidth{"Image\\Libraries\\Toolset\\src\\CommonStreams", 3001};
inline constexpr Kes::CSourceLine StrokeNullList{"Image\\Libraries\\Toolset\\src\\CommonStreams", 3002};
inline constexpr Kes::CSourceLine StrokeOutOfOrder{"Image\\Libraries\\Toolset\\src\\CommonStreams", 3003};

}  // namespace Image::Sites
