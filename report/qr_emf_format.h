// The subset of enhanced-metafile records in which the report engine keeps a
// page: header and end, fonts, pens, brushes and their selection, text colour,
// background mode and text alignment, text runs, rectangles, lines, polygons
// and bitmaps. All values are little-endian 32-bit integers unless noted.
// Coordinates are device pixels of the page (its resolution is given by the
// header: szlDevice pixels over rclFrame in 0.01 mm).
#pragma once

#include <cstdint>

namespace vendrik::emf {

// Record types.
constexpr uint32_t kHeader = 1;
constexpr uint32_t kPolygon = 3;
constexpr uint32_t kEof = 14;
constexpr uint32_t kSetBkMode = 18;
constexpr uint32_t kSetTextAlign = 22;
constexpr uint32_t kSetTextColor = 24;
constexpr uint32_t kMoveToEx = 27;
constexpr uint32_t kSelectObject = 37;
constexpr uint32_t kCreatePen = 38;
constexpr uint32_t kCreateBrushIndirect = 39;
constexpr uint32_t kDeleteObject = 40;
constexpr uint32_t kRectangle = 43;
constexpr uint32_t kLineTo = 54;
constexpr uint32_t kStretchDIBits = 81;
constexpr uint32_t kExtCreateFontIndirectW = 82;
constexpr uint32_t kExtTextOutW = 84;

// Header: type, size, bounds (16), frame (16), signature, version, bytes,
// records, handles (16-bit), reserved (16-bit), description count and offset,
// palette entries, device size (8), millimetres (8).
constexpr uint32_t kHeaderSize = 88;
constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kSignatureOffset = 40;
constexpr uint32_t kVersion = 0x10000;
constexpr uint32_t kHeaderBytesOffset = 48;
constexpr uint32_t kHeaderRecordsOffset = 52;
constexpr uint32_t kHeaderHandlesOffset = 56;
constexpr uint32_t kHeaderFrameOffset = 24;
constexpr uint32_t kHeaderDeviceOffset = 72;

// Sizes of the fixed parts of the records.
constexpr uint32_t kEofSize = 20;
constexpr uint32_t kLogFontSize = 92;
constexpr uint32_t kFaceNameChars = 32;
constexpr uint32_t kFontRecordSize = 12 + kLogFontSize;
constexpr uint32_t kTextOutFixedSize = 76;  // up to the string
constexpr uint32_t kStretchDIBitsFixedSize = 80;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Values.
constexpr uint32_t kTransparent = 1;      // background mode
constexpr uint32_t kTaBaseline = 24;      // text alignment: reference point on the baseline
constexpr uint32_t kNullPen = 0x80000008; // stock object
constexpr uint32_t kPenSolid = 0;
constexpr uint32_t kBrushSolid = 0;
constexpr uint32_t kGmCompatible = 1;
constexpr uint32_t kDibRgbColors = 0;
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kBiRgb = 0;

}  // namespace vendrik::emf
