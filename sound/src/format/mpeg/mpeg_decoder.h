// MPEG audio frame decoder: frame headers of MPEG-1, MPEG-2 and MPEG-2.5,
// the frame stores with the layer 3 bit reservoir, layer 2 and layer 3
// decoding and the polyphase synthesis filterbank both layers end in. One decoder per open file, used by one thread at a time.
#pragma once

#include <cstdint>

// Bit allocation of one layer 2 table: subband count, allocation field
// widths and the quantisation steps each allocation code selects.
struct MpegLayer2Table {
  int sbLimit;
  int nbal[32];
  const int *steps[32];
};
// Chooses the table for a header's rate, channel count and bitrate.
const MpegLayer2Table *MpegLayer2_SelectTable(int lsf, int freqIndex, int channels, int bitrateKbps);

constexpr int MPEG_STORE_BYTES = 2304;
constexpr int MPEG_RESERVOIR_BYTES = 512;
constexpr int MPEG_MAX_BODY = MPEG_STORE_BYTES - MPEG_RESERVOIR_BYTES;
// PCM bytes one frame yields at most (1152 stereo 16-bit samples).
constexpr int MPEG_MAX_FRAME_OUTPUT = 4608;

struct MpegDecoder {
  uint32_t header;  // last raw header
  int channels, jsBound, sbLimit, lsf, mpeg25, layer, crc, bitrateIndex, freqIndex;
  int padding, privateBit, mode, modeExtension, copyright, original, emphasis;
  int frameLength;     // body bytes after the 4 header bytes; 0 = no header decoded
  int previousLength;  // -1: no frame since the last reset
  const MpegLayer2Table *allocation;

  uint8_t store[2][MPEG_STORE_BYTES];
  int currentStore;
  // Bit reader over the current store, never past its end.
  const uint8_t *bits;
  const uint8_t *bitsEnd;
  int bitIndex;

  // Synthesis: per channel the 1024 most recent matrixed values, newest first
  // from the ring offset.
  float synth[2][1024];
  int synthOffset;
  int ringPosition;

  // Layer 3: per channel the second halves of the last granule's IMDCT
  // outputs, added to the next granule's first halves.
  float overlap[2][576];
  // Layer 3 bit reservoir: main data bytes held in front of each store's body,
  // and the main data bytes of the store's own frame.
  int reservoirBytes[2];
  int mainBytes[2];

  int layerLock;          // layer of the stream's first frame, 0 = none yet
  int bytesPerFrame;      // decoded bytes per frame
  uint32_t exactTotal;    // decoded bytes of the whole file when a scan ran
};

// Builds the shared tables; safe to call more than once and from any thread.
void MpegDecoder_InitTables();

// Decodes the 4 header bytes; outputs may be null. 1 valid, 0 not a frame.
int MpegDecoder_DecodeHeader(MpegDecoder *decoder, const uint8_t *header, int *rate, int *channels,
                             int *frameLength);
// Decodes the frame in frameBytes (header included, frameSize bytes in all)
// into 16-bit interleaved PCM; *written gets the bytes produced.
int MpegDecoder_DecodeFrame(MpegDecoder *decoder, const uint8_t *frameBytes, int frameSize, uint8_t *output,
                            int *written);
// Forgets all history (frame stores, synthesis); the ring position stays.
bool MpegDecoder_Reset(void *decoder);

// Layer 2 audio of the body in the current store.
int MpegDecoder_DecodeLayer2(MpegDecoder *decoder, uint8_t *output, int *written);

// Layer 3 audio of the body in the current store: 1152 samples per channel
// for MPEG-1, 576 for MPEG-2 and 2.5. 0 when the side information is out of
// range; granules whose main data is missing or damaged come out silent.
int MpegDecoder_DecodeLayer3(MpegDecoder *decoder, uint8_t *output, int *written);
// Builds the layer 3 tables (Huffman lookups, gains, IMDCT); called once.
void MpegLayer3_InitTables();

// Synthesis of 32 subband samples per channel (subbands[ch][32]) into 32
// interleaved 16-bit samples per channel.
void MpegDecoder_Synthesis(MpegDecoder *decoder, int16_t *output, const float subbands[2][32], int channels);
// The same for `count` rows one after the other (time order); their output
// follows row by row. Faster than row by row: the matrixing of several rows
// runs side by side.
void MpegDecoder_SynthesisRows(MpegDecoder *decoder, int16_t *output, const float (*rows)[2][32], int count,
                               int channels);

// Chooses the synthesis path: the processor's widest (AVX where present,
// the default) or the baseline one. True when the path asked for is in use.
bool MpegDecoder_UseWideSynthesis(bool wide);

// Reads n (0..16) bits; past the end of the frame's bytes reads zeros.
uint32_t MpegDecoder_GetBits(MpegDecoder *decoder, int n);
