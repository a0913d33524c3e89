#include "platform/media/WindowsMedia.h"

#include "platform/media/FfmpegLibrary.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace wmf {

const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID IID_IWMProfile = {0x96406BDB, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
const GUID IID_IWMHeaderInfo = {0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
const GUID WMMEDIATYPE_Audio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID WMMEDIATYPE_Video = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID WMFORMAT_WaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

namespace {

constexpr int kIoBuffer = 32768;

// Readers are made only once the libraries are open (see WMCreateSyncReader).
const FfmpegLibrary &Ff() { return *FfmpegLibrary::Get(); }

int ReadPacket(void *opaque, uint8_t *buffer, int size) {
  ULONG got = 0;
  const HRESULT r = static_cast<IStream *>(opaque)->Read(buffer, ULONG(size), &got);
  if (FAILED(r) || got == 0) return AVERROR_EOF;
  return int(got);
}

int64_t SeekStream(void *opaque, int64_t offset, int whence) {
  auto *stream = static_cast<IStream *>(opaque);
  std::uint64_t position = 0;
  if (whence == AVSEEK_SIZE) {
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return -1;
    return int64_t(stat.cbSize);
  }
  const DWORD origin = (whence & 3) == SEEK_CUR ? STREAM_SEEK_CUR : (whence & 3) == SEEK_END ? STREAM_SEEK_END
                                                                                            : STREAM_SEEK_SET;
  if (FAILED(stream->Seek(offset, origin, &position))) return -1;
  return int64_t(position);
}

class Buffer final : public INSSBuffer {
 public:
  explicit Buffer(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
  HRESULT GetBufferAndLength(BYTE **buffer, DWORD *length) override {
    if (!buffer || !length) return E_INVALIDARG;
    *buffer = data.data();
    *length = DWORD(data.size());
    return S_OK;
  }
  ULONG Release() override {
    delete this;
    return 0;
  }
  std::vector<uint8_t> data;
};

class StreamConfig final : public IWMStreamConfig {
 public:
  StreamConfig(GUID type, WORD number) : type(type), number(number) {}
  HRESULT GetStreamType(GUID *out) override {
    if (!out) return E_INVALIDARG;
    *out = type;
    return S_OK;
  }
  HRESULT GetStreamNumber(WORD *out) override {
    if (!out) return E_INVALIDARG;
    *out = number;
    return S_OK;
  }
  ULONG Release() override {
    delete this;
    return 0;
  }
  GUID type;
  WORD number;
};

class OutputProps final : public IWMOutputMediaProps {
 public:
  OutputProps(int channels, int rate, ULONG sampleSize) : channels(channels), rate(rate), sampleSize(sampleSize) {}
  HRESULT GetMediaType(WM_MEDIA_TYPE *type, DWORD *size) override {
    const DWORD needed = DWORD(sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX));
    if (!size) return E_INVALIDARG;
    if (!type) {
      *size = needed;
      return S_OK;
    }
    if (*size < needed) return E_INVALIDARG;
    std::memset(type, 0, needed);
    auto *format = reinterpret_cast<WAVEFORMATEX *>(reinterpret_cast<BYTE *>(type) + sizeof(WM_MEDIA_TYPE));
    format->wFormatTag = 1;
    format->nChannels = WORD(channels);
    format->nSamplesPerSec = DWORD(rate);
    format->wBitsPerSample = 16;
    format->nBlockAlign = WORD(2 * channels);
    format->nAvgBytesPerSec = DWORD(rate) * format->nBlockAlign;
    type->majortype = WMMEDIATYPE_Audio;
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = sampleSize;
    type->formattype = WMFORMAT_WaveFormatEx;
    type->cbFormat = sizeof(WAVEFORMATEX);
    type->pbFormat = reinterpret_cast<BYTE *>(format);
    return S_OK;
  }
  ULONG Release() override {
    delete this;
    return 0;
  }
  int channels, rate;
  ULONG sampleSize;
};

class Reader;

class Profile final : public IWMProfile, public IWMHeaderInfo {
 public:
  explicit Profile(Reader *reader) : reader(reader) {}
  HRESULT GetStreamCount(DWORD *count) override;
  HRESULT GetStream(DWORD index, IWMStreamConfig **config) override;
  HRESULT GetAttributeByName(WORD *stream, const WCHAR *name, WMT_ATTR_DATATYPE *type, BYTE *value,
                             WORD *length) override;
  ULONG Release() override {
    delete this;
    return 0;
  }
  Reader *reader;
};

class Reader final : public IWMSyncReader {
 public:
  explicit Reader(bool anyContainer) : anyContainer(anyContainer) {}
  HRESULT QueryInterface(REFIID iid, void **object) override {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (!format) return E_FAIL;
    if (iid == IID_IWMProfile) {
      *object = static_cast<IWMProfile *>(new Profile(this));
      return S_OK;
    }
    if (iid == IID_IWMHeaderInfo) {
      *object = static_cast<IWMHeaderInfo *>(new Profile(this));
      return S_OK;
    }
    return E_NOINTERFACE;
  }

  HRESULT OpenStream(IStream *stream) override {
    if (!stream) return E_INVALIDARG;
    Close();
    source = stream;
    source->AddRef();
    auto *ioBuffer = static_cast<uint8_t *>(Ff().av_malloc(kIoBuffer));
    io = ioBuffer ? Ff().avio_alloc_context(ioBuffer, kIoBuffer, 0, source, ReadPacket, nullptr, SeekStream) : nullptr;
    if (!io) {
      Ff().av_free(ioBuffer);
      Close();
      return E_OUTOFMEMORY;
    }
    format = Ff().avformat_alloc_context();
    if (!format) {
      Close();
      return E_OUTOFMEMORY;
    }
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (Ff().avformat_open_input(&format, nullptr, anyContainer ? nullptr : Ff().av_find_input_format("asf"), nullptr) < 0) {
      format = nullptr;  // freed by the failed open
      Close();
      return E_FAIL;
    }
    if (Ff().avformat_find_stream_info(format, nullptr) < 0) {
      Close();
      return E_FAIL;
    }
    audio = Ff().av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio < 0) {
      Close();
      return E_FAIL;
    }
    const AVCodecParameters *parameters = format->streams[audio]->codecpar;
    const AVCodec *codec = Ff().avcodec_find_decoder(parameters->codec_id);
    decoder = codec ? Ff().avcodec_alloc_context3(codec) : nullptr;
    if (!decoder || Ff().avcodec_parameters_to_context(decoder, parameters) < 0 || Ff().avcodec_open2(decoder, codec, nullptr) < 0) {
      Close();
      return E_FAIL;
    }
    channels = decoder->ch_layout.nb_channels;
    rate = decoder->sample_rate;
    if (channels < 1 || rate < 1) {
      Close();
      return E_FAIL;
    }
    Ff().av_channel_layout_copy(&outLayout, &decoder->ch_layout);
    if (outLayout.order == AV_CHANNEL_ORDER_UNSPEC) Ff().av_channel_layout_default(&outLayout, channels);
    if (!Resample(outLayout, decoder->sample_fmt, rate)) {
      Close();
      return E_FAIL;
    }
    packet = Ff().av_packet_alloc();
    frame = Ff().av_frame_alloc();
    if (!packet || !frame) {
      Close();
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  HRESULT SetRange(QWORD start, std::int64_t) override {
    if (!format) return E_FAIL;
    // The decoder overlaps each frame with the one before: reading starts a
    // few frames early so that the sound at the position is whole.
    const int frameSize = decoder->frame_size > 0 ? decoder->frame_size : 2048;
    const int64_t lead = Ff().av_rescale(4 * frameSize, AV_TIME_BASE, rate);
    const int64_t target = std::max<int64_t>(0, int64_t(start / 10) - lead);  // 100 ns units to microseconds
    if (Ff().av_seek_frame(format, -1, target, AVSEEK_FLAG_BACKWARD) < 0 &&
        Ff().av_seek_frame(format, -1, target, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0)
      return E_FAIL;
    Ff().avcodec_flush_buffers(decoder);
    ended = false;
    // Sound before the position asked for is dropped as it is decoded.
    skipUntil = int64_t(start) * rate / 10000000;
    nextSample = -1;
    firstPacketPts = AV_NOPTS_VALUE;
    return S_OK;
  }

  HRESULT SetStreamsSelected(WORD count, WORD *numbers, WMT_STREAM_SELECTION *) override {
    return count >= 1 && numbers && numbers[0] == StreamNumber() ? S_OK : E_INVALIDARG;
  }
  HRESULT SetReadStreamSamples(WORD number, BOOL compressed) override {
    return number == StreamNumber() && !compressed ? S_OK : E_INVALIDARG;
  }
  HRESULT GetOutputCount(DWORD *count) override {
    if (!count) return E_INVALIDARG;
    *count = format ? 1 : 0;
    return S_OK;
  }
  HRESULT GetOutputFormat(DWORD output, DWORD formatIndex, IWMOutputMediaProps **props) override {
    if (!props || output != 0 || formatIndex != 0 || !format) return E_INVALIDARG;
    const int frameSize = decoder->frame_size > 0 ? decoder->frame_size : 2048;
    *props = new OutputProps(channels, rate, ULONG(frameSize * 2 * channels));
    return S_OK;
  }

  HRESULT GetNextSample(WORD number, INSSBuffer **sample, QWORD *time, QWORD *duration, DWORD *flags, DWORD *output,
                        WORD *streamNumber) override {
    if (!sample || number != StreamNumber() || !format) return E_INVALIDARG;
    *sample = nullptr;
    std::vector<uint8_t> pcm;
    int64_t first = 0;
    while (pcm.empty()) {
      if (!DecodeFrame()) return NS_E_NO_MORE_SAMPLES;
      int64_t start = nextSample;
      if (start < 0) {
        // The first frame after an open or a seek: its place from its time
        // stamp, which the container keeps in milliseconds only; frames of a
        // fixed size sit at whole multiples of it from the stream's start.
        const AVStream *stream = format->streams[audio];
        // The decoder gives its first frame after a seek only once later
        // packets are in, under their time: the first packet's time is the
        // frame's.
        int64_t pts = firstPacketPts != AV_NOPTS_VALUE ? firstPacketPts : frame->pts;
        if (pts == AV_NOPTS_VALUE) pts = 0;
        if (stream->start_time != AV_NOPTS_VALUE) pts -= stream->start_time;
        start = std::max<int64_t>(0, Ff().av_rescale_q(pts, stream->time_base, AVRational{1, rate}));
        const int size = decoder->frame_size > 0 ? decoder->frame_size : frame->nb_samples;
        if (size > 0) start = (start + size / 2) / size * size;
      }
      nextSample = start + frame->nb_samples;
      if (!ResampleFrame()) continue;  // a frame that cannot be converted is dropped
      const int room = Ff().swr_get_out_samples(resampler, frame->nb_samples);
      if (room <= 0) continue;
      std::vector<uint8_t> converted(size_t(room) * 2 * size_t(channels));
      uint8_t *out[1] = {converted.data()};
      const int made = Ff().swr_convert(resampler, out, room, const_cast<const uint8_t **>(frame->extended_data),
                                   frame->nb_samples);
      if (made <= 0) continue;
      converted.resize(size_t(made) * 2 * size_t(channels));
      int64_t drop = std::clamp<int64_t>(skipUntil - start, 0, made);
      first = start + drop;
      pcm.assign(converted.begin() + std::ptrdiff_t(drop * 2 * channels), converted.end());
    }
    if (time) *time = QWORD(first) * 10000000 / QWORD(rate);
    if (duration) *duration = QWORD(pcm.size() / (2 * size_t(channels))) * 10000000 / QWORD(rate);
    if (flags) *flags = 0;
    if (output) *output = 0;
    if (streamNumber) *streamNumber = StreamNumber();
    *sample = new Buffer(std::move(pcm));
    return S_OK;
  }

  HRESULT Close() override {
    if (format) Ff().avformat_close_input(&format);
    format = nullptr;
    if (io) {
      Ff().av_freep(&io->buffer);
      Ff().avio_context_free(&io);
    }
    Ff().avcodec_free_context(&decoder);
    Ff().swr_free(&resampler);
    Ff().av_channel_layout_uninit(&outLayout);
    Ff().av_channel_layout_uninit(&inLayout);
    inFormat = -1;
    inRate = 0;
    Ff().av_packet_free(&packet);
    Ff().av_frame_free(&frame);
    if (source) source->Release();
    source = nullptr;
    audio = -1;
    return S_OK;
  }
  ULONG Release() override {
    Close();
    delete this;
    return 0;
  }

  WORD StreamNumber() const { return WORD(audio + 1); }
  int64_t Duration100ns() const {
    if (!format) return -1;
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0) return format->duration * 10;
    const AVStream *s = format->streams[audio];
    if (s->duration != AV_NOPTS_VALUE && s->duration > 0) return Ff().av_rescale_q(s->duration, s->time_base, {1, 10000000});
    return -1;
  }

  AVFormatContext *format = nullptr;
  int audio = -1;

 private:
  // Converts from the given sound to the stream's own layout and rate.
  bool Resample(AVChannelLayout &from, int fromFormat, int fromRate) {
    Ff().swr_free(&resampler);
    Ff().av_channel_layout_uninit(&inLayout);
    inFormat = -1;
    if (Ff().swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, rate, &from, AVSampleFormat(fromFormat),
                            fromRate, 0, nullptr) < 0 ||
        Ff().swr_init(resampler) < 0) {
      Ff().swr_free(&resampler);
      return false;
    }
    Ff().av_channel_layout_copy(&inLayout, &from);
    inFormat = fromFormat;
    inRate = fromRate;
    return true;
  }

  // A damaged or joined file may change its sample format, channels or rate
  // from one frame to the next: the converter follows the frame, so that it
  // never reads planes the frame does not have.
  bool ResampleFrame() {
    if (frame->ch_layout.nb_channels < 1 || frame->nb_samples < 1 || !frame->extended_data) return false;
    AVChannelLayout from{};
    Ff().av_channel_layout_copy(&from, &frame->ch_layout);
    if (from.order == AV_CHANNEL_ORDER_UNSPEC) Ff().av_channel_layout_default(&from, from.nb_channels);
    const int fromRate = frame->sample_rate > 0 ? frame->sample_rate : rate;
    const bool ok = (resampler && frame->format == inFormat && fromRate == inRate &&
                     Ff().av_channel_layout_compare(&from, &inLayout) == 0) ||
                    Resample(from, frame->format, fromRate);
    Ff().av_channel_layout_uninit(&from);
    return ok;
  }

  bool DecodeFrame() {
    while (true) {
      const int got = Ff().avcodec_receive_frame(decoder, frame);
      if (got == 0) return true;
      if (got == AVERROR_EOF || ended) return false;
      const int read = Ff().av_read_frame(format, packet);
      if (read < 0) {
        ended = true;
        Ff().avcodec_send_packet(decoder, nullptr);
        continue;
      }
      if (packet->stream_index == audio) {
        if (firstPacketPts == AV_NOPTS_VALUE) firstPacketPts = packet->pts;
        Ff().avcodec_send_packet(decoder, packet);  // a damaged packet is skipped
      }
      Ff().av_packet_unref(packet);
    }
  }

  const bool anyContainer;
  IStream *source = nullptr;
  AVIOContext *io = nullptr;
  AVCodecContext *decoder = nullptr;
  SwrContext *resampler = nullptr;
  AVChannelLayout outLayout{};  // the stream's, as opened
  AVChannelLayout inLayout{};   // what the converter takes now
  int inFormat = -1, inRate = 0;
  AVPacket *packet = nullptr;
  AVFrame *frame = nullptr;
  int channels = 0, rate = 0;
  bool ended = false;
  int64_t skipUntil = 0, nextSample = -1;
  int64_t firstPacketPts = AV_NOPTS_VALUE;
};

HRESULT Profile::GetStreamCount(DWORD *count) {
  if (!count) return E_INVALIDARG;
  *count = reader->format ? reader->format->nb_streams : 0;
  return S_OK;
}

HRESULT Profile::GetStream(DWORD index, IWMStreamConfig **config) {
  if (!config || !reader->format || index >= reader->format->nb_streams) return E_INVALIDARG;
  const AVMediaType kind = reader->format->streams[index]->codecpar->codec_type;
  *config = new StreamConfig(kind == AVMEDIA_TYPE_AUDIO ? WMMEDIATYPE_Audio : kind == AVMEDIA_TYPE_VIDEO
                                                                                  ? WMMEDIATYPE_Video
                                                                                  : GUID{},
                             WORD(index + 1));
  return S_OK;
}

HRESULT Profile::GetAttributeByName(WORD *, const WCHAR *name, WMT_ATTR_DATATYPE *type, BYTE *value, WORD *length) {
  static const char16_t kDuration[] = u"Duration";
  if (!name || !length || std::char_traits<char16_t>::compare(name, kDuration, 9) != 0) return ASF_E_NOTFOUND;
  const int64_t duration = reader->Duration100ns();
  if (duration < 0) return ASF_E_NOTFOUND;
  if (type) *type = WMT_TYPE_QWORD;
  if (!value) {
    *length = 8;
    return S_OK;
  }
  if (*length < 8) return E_INVALIDARG;
  const QWORD v = QWORD(duration);
  std::memcpy(value, &v, 8);
  *length = 8;
  return S_OK;
}

}  // namespace

HRESULT WMCreateSyncReader(void *, DWORD, IWMSyncReader **reader) {
  if (!reader) return E_INVALIDARG;
  *reader = nullptr;
  if (!FfmpegLibrary::Get()) return E_FAIL;  // no decoder can be had
  *reader = new Reader(false);
  return S_OK;
}

HRESULT CreateAnyFormatReader(IWMSyncReader **reader) {
  if (!reader) return E_INVALIDARG;
  *reader = nullptr;
  if (!FfmpegLibrary::Get()) return E_FAIL;  // no decoder can be had
  *reader = new Reader(true);
  return S_OK;
}

}  // namespace wmf
