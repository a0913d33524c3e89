// The MPEG frame decoder: headers, the frame store, layer 2 dequantisation and
// the synthesis filterbank's range, on frames built here.
#include "MpegFrameSupport.h"
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/format/mpeg/mpeg_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace mpeg_decoder_test {

namespace {

struct DecoderDeleter {
  void operator()(MpegDecoder *d) const { std::free(d); }
};
using Decoder = std::unique_ptr<MpegDecoder, DecoderDeleter>;

Decoder NewDecoder() {
  MpegDecoder_InitTables();
  auto *d = static_cast<MpegDecoder *>(std::calloc(1, sizeof(MpegDecoder)));
  d->previousLength = -1;
  return Decoder(d);
}

struct Header {
  int ok, rate, channels, length;
};

Header Decode(MpegDecoder *d, std::initializer_list<uint8_t> bytes) {
  const std::vector<uint8_t> b(bytes);
  Header h{};
  h.ok = MpegDecoder_DecodeHeader(d, b.data(), &h.rate, &h.channels, &h.length);
  return h;
}

std::vector<int16_t> DecodeFrame(MpegDecoder *d, const MpegBytes &frame) {
  std::vector<int16_t> out(MPEG_MAX_FRAME_OUTPUT / 2, 0x5555);
  int written = -1;
  EXPECT_EQ(MpegDecoder_DecodeFrame(d, frame.data(), int(frame.size()), reinterpret_cast<uint8_t *>(out.data()),
                                    &written),
            1);
  EXPECT_EQ(written, 2304);
  out.resize(size_t(std::max(written, 0)) / 2);
  return out;
}

}  // namespace

TEST(MpegHeader, LayerThreeAndTwoFrameLengthsExcludeTheHeader) {
  Decoder d = NewDecoder();
  const Header l3 = Decode(d.get(), {0xFF, 0xFB, 0x90, 0x64});
  EXPECT_EQ(l3.ok, 1);
  EXPECT_EQ(l3.rate, 44100);
  EXPECT_EQ(l3.channels, 2);
  EXPECT_EQ(l3.length, 413);
  EXPECT_EQ(d->mode, 1);
  EXPECT_EQ(d->modeExtension, 2);
  EXPECT_EQ(d->crc, 0);

  Decoder d2 = NewDecoder();
  const Header l2 = Decode(d2.get(), {0xFF, 0xFD, 0xA0, 0xC0});  // 192 kbit/s mono, 44.1 kHz
  EXPECT_EQ(l2.ok, 1);
  EXPECT_EQ(l2.channels, 1);
  EXPECT_EQ(l2.length, 192 * 144000 / 44100 - 4);
  EXPECT_EQ(d2->sbLimit, 30);  // 192 kbit/s per channel at 44.1 kHz: the 30-band table

  Decoder d3 = NewDecoder();
  const Header padded = Decode(d3.get(), {0xFF, 0xFC, 0x82, 0x40});  // CRC, padded, joint stereo
  EXPECT_EQ(padded.ok, 1);
  EXPECT_EQ(padded.length, 128 * 144000 / 44100 + 1 - 4);
  EXPECT_EQ(d3->crc, 1);
  EXPECT_EQ(d3->jsBound, 4);  // mode extension 0: the first four subbands are coded per channel
}

TEST(MpegHeader, LowSamplingRatesAndMpeg25) {
  Decoder d = NewDecoder();
  const Header h = Decode(d.get(), {0xFF, 0xE3, 0x18, 0xC0});  // MPEG-2.5 layer 3, 8 kbit/s, 8000 Hz
  EXPECT_EQ(h.ok, 1);
  EXPECT_EQ(h.rate, 8000);
  EXPECT_EQ(h.length, 68);
  EXPECT_EQ(d->freqIndex, 8);

  Decoder d2 = NewDecoder();
  const Header lsf = Decode(d2.get(), {0xFF, 0xF5, 0x84, 0xC4});  // MPEG-2 layer 2, 64 kbit/s, 24 kHz
  EXPECT_EQ(lsf.ok, 1);
  EXPECT_EQ(lsf.rate, 24000);
  EXPECT_EQ(lsf.length, 64 * 144000 / 24000 - 4);
  EXPECT_EQ(d2->lsf, 1);
  EXPECT_EQ(d2->sbLimit, 30);
}

TEST(MpegHeader, InvalidFieldsAreRefused) {
  const std::vector<std::vector<uint8_t>> bad = {
      {0xFF, 0xFB, 0x00, 0x64},  // free format
      {0xFF, 0xFB, 0xF0, 0x64},  // bitrate index 15
      {0xFF, 0xFF, 0x90, 0x64},  // layer 1
      {0xFF, 0xF9, 0x90, 0x64},  // layer bits 00
      {0xFF, 0xFB, 0x9C, 0x64},  // sample-rate code 3
      {0xFF, 0xEB, 0x90, 0x64},  // reserved version bits
      {0xFE, 0xFB, 0x90, 0x64},  // broken sync
  };
  for (const auto &b : bad) {
    Decoder d = NewDecoder();
    int length = -1;
    EXPECT_EQ(MpegDecoder_DecodeHeader(d.get(), b.data(), nullptr, nullptr, &length), 0)
        << std::hex << int(b[1]) << " " << int(b[2]);
    EXPECT_EQ(length, -1);
  }
}

TEST(MpegHeader, TheFirstLayerLocksTheStream) {
  Decoder d = NewDecoder();
  EXPECT_EQ(Decode(d.get(), {0xFF, 0xFB, 0x90, 0x64}).ok, 1);
  EXPECT_EQ(Decode(d.get(), {0xFF, 0xFD, 0xA0, 0xC0}).ok, 0);
  EXPECT_EQ(Decode(d.get(), {0xFF, 0xFB, 0x90, 0x64}).ok, 1);
  d->layerLock = 0;
  EXPECT_EQ(Decode(d.get(), {0xFF, 0xFD, 0xA0, 0xC0}).ok, 1);
}

TEST(MpegLayer2, SilenceDecodesToZeroAndOppositeCodesToOppositeSamples) {
  Decoder d = NewDecoder();
  const std::vector<int16_t> silence = DecodeFrame(d.get(), Layer2Frame(0, [](int) { return 32767; }));
  EXPECT_TRUE(std::all_of(silence.begin(), silence.end(), [](int16_t s) { return s == 0; }));

  auto wave = [](int i) { return 32767 + (i % 7 - 3) * 3000; };
  Decoder a = NewDecoder(), b = NewDecoder();
  const std::vector<int16_t> up = DecodeFrame(a.get(), Layer2Frame(3, wave));
  const std::vector<int16_t> down = DecodeFrame(b.get(), Layer2Frame(3, [&](int i) { return 65534 - wave(i); }));
  int peak = 0;
  for (size_t i = 0; i < up.size(); ++i) {
    EXPECT_NEAR(up[i], -down[i], 1) << i;
    peak = std::max(peak, std::abs(int(up[i])));
  }
  EXPECT_GT(peak, 1000);
}

TEST(MpegLayer2, ThreeScaleFactorStepsHalveTheOutput) {
  auto wave = [](int i) { return 32767 + (i % 5 - 2) * 6000; };
  Decoder a = NewDecoder(), b = NewDecoder();
  const std::vector<int16_t> loud = DecodeFrame(a.get(), Layer2Frame(4, wave));
  const std::vector<int16_t> soft = DecodeFrame(b.get(), Layer2Frame(7, wave));
  int peak = 0;
  for (size_t i = 0; i < loud.size(); ++i) {
    EXPECT_NEAR(loud[i], 2 * soft[i], 2) << i;
    peak = std::max(peak, std::abs(int(loud[i])));
  }
  EXPECT_GT(peak, 2000);
}

TEST(MpegLayer2, ResetForgetsTheFilterHistory) {
  Decoder d = NewDecoder();
  const MpegBytes silent = Layer2Frame(0, [](int) { return 32767; });
  DecodeFrame(d.get(), Layer2Tone(1));
  const std::vector<int16_t> tail = DecodeFrame(d.get(), silent);
  EXPECT_TRUE(std::any_of(tail.begin(), tail.end(), [](int16_t s) { return s != 0; }));
  EXPECT_EQ(d->previousLength, 188);

  DecodeFrame(d.get(), Layer2Tone(1));
  MpegDecoder_Reset(d.get());
  EXPECT_EQ(d->previousLength, -1);
  const std::vector<int16_t> after = DecodeFrame(d.get(), silent);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));

  // The same frames after a reset decode as from a fresh decoder.
  Decoder fresh = NewDecoder();
  MpegDecoder_Reset(d.get());
  EXPECT_EQ(DecodeFrame(d.get(), Layer2Tone(2)), DecodeFrame(fresh.get(), Layer2Tone(2)));
}

TEST(MpegLayer2, TheBitReaderStopsAtTheFrameEnd) {
  Decoder d = NewDecoder();
  MpegBytes frame = {0xFF, 0xFD, 0x44, 0xC0};
  frame.resize(192, 0xFF);  // every allocation at its widest: far more bits than the frame holds
  frame.resize(400, 0x00);  // bytes after the frame must not be read
  std::vector<int16_t> out(MPEG_MAX_FRAME_OUTPUT / 2);
  int written = 0;
  EXPECT_EQ(MpegDecoder_DecodeFrame(d.get(), frame.data(), int(frame.size()), reinterpret_cast<uint8_t *>(out.data()),
                                    &written),
            1);
  EXPECT_EQ(written, 2304);
  EXPECT_EQ(d->bits, d->bitsEnd);
  EXPECT_EQ(MpegDecoder_GetBits(d.get(), 16), 0u);

  // A frame given fewer bytes than its header announces is refused.
  Decoder d2 = NewDecoder();
  EXPECT_EQ(MpegDecoder_DecodeFrame(d2.get(), frame.data(), 100, reinterpret_cast<uint8_t *>(out.data()), &written),
            0);
  EXPECT_EQ(written, 0);
}

TEST(MpegLayer2, BodiesLargerThanTheStoreAreRefused) {
  Decoder d = NewDecoder();
  MpegBytes frame = {0xFF, 0xE5, 0xE8, 0xC0};  // MPEG-2.5 layer 2, 160 kbit/s, 8000 Hz
  int length = 0;
  ASSERT_EQ(MpegDecoder_DecodeHeader(d.get(), frame.data(), nullptr, nullptr, &length), 1);
  EXPECT_EQ(length, 160 * 144000 / 8000 - 4);
  frame.resize(size_t(length) + 4, 0);
  std::vector<uint8_t> out(MPEG_MAX_FRAME_OUTPUT);
  int written = -1;
  EXPECT_EQ(MpegDecoder_DecodeFrame(d.get(), frame.data(), int(frame.size()), out.data(), &written), 0);
  EXPECT_EQ(written, 0);
}

TEST(MpegSynthesis, OverloadedInputSaturatesInsteadOfWrapping) {
  Decoder d = NewDecoder();
  float bands[2][32];
  int16_t out[64];
  bool high = false, low = false;
  for (int call = 0; call < 40; ++call) {
    for (int ch = 0; ch < 2; ++ch)
      for (int k = 0; k < 32; ++k) bands[ch][k] = (ch == 0 ? 60.0f : -60.0f) * ((k + call) % 3 == 0 ? 1.0f : -1.0f);
    MpegDecoder_Synthesis(d.get(), out, bands, 2);
    for (int16_t s : out) {
      high |= s == 32767;
      low |= s == -32768;
    }
  }
  EXPECT_TRUE(high);
  EXPECT_TRUE(low);
}

// The filterbank against the standard's definition evaluated in double
// precision (matrixing by the full cosine matrix, the window of the tables):
// within 1 of it, by every path the processor offers, the paths agreeing
// sample for sample.
TEST(MpegSynthesis, FastPathsMatchTheDefinition) {
  MpegDecoder_InitTables();
  double window[512];
  for (int n = 0; n < 512; ++n) {
    const int m = n <= 256 ? n : 512 - n;
    window[n] = (n <= 256 || m % 64 == 0 ? kMpegWindowTaps[m] : -kMpegWindowTaps[m]) / 65536.0;
  }
  const double pi = 3.14159265358979323846;
  std::vector<std::vector<int16_t>> byPath;
  for (bool wide : {false, true}) {
    if (!MpegDecoder_UseWideSynthesis(wide)) continue;
    Decoder d = NewDecoder();
    std::vector<double> history(1024 * 2, 0.0);
    std::vector<int16_t> all;
    uint32_t seed = 99;
    int worst = 0;
    for (int call = 0; call < 400; ++call) {
      float bands[2][32];
      for (auto &channel : bands)
        for (float &b : channel) {
          seed = seed * 1103515245u + 12345u;
          b = float(int(seed >> 8 & 0xFFFF) - 32768) / (call % 50 == 7 ? 8000.0f : 300000.0f);
        }
      int16_t out[64];
      MpegDecoder_Synthesis(d.get(), out, bands, 2);
      all.insert(all.end(), out, out + 64);
      for (int ch = 0; ch < 2; ++ch) {
        double *v = history.data() + 1024 * ch;
        std::copy_backward(v, v + 1024 - 64, v + 1024);
        for (int i = 0; i < 64; ++i) {
          v[i] = 0;
          for (int k = 0; k < 32; ++k) v[i] += std::cos((16 + i) * (2 * k + 1) * pi / 64) * bands[ch][k];
        }
        for (int j = 0; j < 32; ++j) {
          double sum = 0;
          for (int m = 0; m < 8; ++m)
            sum += v[128 * m + j] * window[64 * m + j] + v[128 * m + 96 + j] * window[64 * m + 32 + j];
          const double expected = std::clamp(std::nearbyint(sum * 32768.0), -32768.0, 32767.0);
          worst = std::max(worst, int(std::abs(expected - out[2 * j + ch])));
        }
      }
    }
    EXPECT_LE(worst, 1) << (wide ? "wide" : "baseline");
    byPath.push_back(all);

    // Rows handed over several at a time (their matrixing side by side)
    // give what they give one by one.
    Decoder batched = NewDecoder();
    std::vector<float> rows(400 * 64);
    seed = 99;
    for (int call = 0; call < 400; ++call)
      for (int i = 0; i < 64; ++i) {
        seed = seed * 1103515245u + 12345u;
        rows[size_t(call) * 64 + size_t(i)] =
            float(int(seed >> 8 & 0xFFFF) - 32768) / (call % 50 == 7 ? 8000.0f : 300000.0f);
      }
    std::vector<int16_t> together(all.size());
    for (int call = 0; call < 400; call += 7) {
      const int count = std::min(7, 400 - call);
      MpegDecoder_SynthesisRows(batched.get(), together.data() + size_t(call) * 64,
                                reinterpret_cast<const float(*)[2][32]>(rows.data() + size_t(call) * 64), count, 2);
    }
    EXPECT_EQ(together, all) << (wide ? "wide" : "baseline");
  }
  for (size_t i = 1; i < byPath.size(); ++i) EXPECT_EQ(byPath[i], byPath[0]);
  MpegDecoder_UseWideSynthesis(true);
}

}  // namespace mpeg_decoder_test
