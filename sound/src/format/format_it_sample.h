// Compressed IT sample data: blocks of a variable-width delta code, 8-bit or
// 16-bit, with first- or second-order integration.
#pragma once

#include <cstddef>
#include <cstdint>

// Each decodes `count` samples from `sourceBytes` bytes of blocks into the
// destination, which is cleared first. False on a null argument, on a width
// that cannot be, or on data that ends before the samples do; the
// destination then keeps what was decoded, zero elsewhere.
bool FormatIt_Decompress8(const uint8_t *source, size_t sourceBytes, int8_t *destination, size_t count,
                          bool secondOrder);
bool FormatIt_Decompress16(const uint8_t *source, size_t sourceBytes, int16_t *destination, size_t count,
                           bool secondOrder);

// The decode of a sample upload in the tracker-packed modes (two variants),
// into the sample's representation; false when the data cannot be decoded.
bool OsndTracker_Decompress(void *destination, const void *source, unsigned sourceBytes,
                            unsigned destinationBytes, bool sixteenBit, bool variant2);
