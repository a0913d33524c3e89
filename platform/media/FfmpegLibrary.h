// FFmpeg's decoding libraries, opened at their first use instead of with the
// program: only a Windows Media or DirectShow file needs them, and with the
// hundred libraries they bring in they hold about 19 MB of a process's
// resident memory from the moment they are loaded.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace wmf {

#define QMV_FFMPEG_FUNCTIONS(X)                                                                                      \
  X(av_channel_layout_compare) X(av_channel_layout_copy) X(av_channel_layout_default) X(av_channel_layout_uninit)  \
  X(av_find_best_stream) X(av_find_input_format) X(av_frame_alloc) X(av_frame_free) X(av_free) X(av_freep)         \
  X(av_malloc) X(av_packet_alloc) X(av_packet_free) X(av_packet_unref) X(av_read_frame) X(av_rescale)              \
  X(av_rescale_q) X(av_seek_frame) X(avcodec_alloc_context3) X(avcodec_find_decoder) X(avcodec_flush_buffers)     \
  X(avcodec_free_context) X(avcodec_open2) X(avcodec_parameters_to_context) X(avcodec_receive_frame)               \
  X(avcodec_send_packet) X(avformat_alloc_context) X(avformat_close_input) X(avformat_find_stream_info)            \
  X(avformat_open_input) X(avio_alloc_context) X(avio_context_free) X(swr_alloc_set_opts2) X(swr_convert)          \
  X(swr_free) X(swr_get_out_samples) X(swr_init)

class FfmpegLibrary {
 public:
  // The libraries' functions, looked up once on the first call (from any
  // thread); null when a library or one of the functions cannot be had.
  static const FfmpegLibrary *Get();

#define QMV_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
  QMV_FFMPEG_FUNCTIONS(QMV_FFMPEG_POINTER)
#undef QMV_FFMPEG_POINTER

 private:
  bool Load();
};

}  // namespace wmf
