#include "platform/media/FfmpegLibrary.h"

#include <dlfcn.h>

namespace wmf {

namespace {

#define QMV_STRING(x) #x
#define QMV_SONAME(library, major) "lib" library ".so." QMV_STRING(major)

// The versions the program was compiled against, in dependency order.
constexpr const char *kLibraries[] = {
    QMV_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR), QMV_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
    QMV_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR), QMV_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR)};

}  // namespace

bool FfmpegLibrary::Load() {
  void *handles[sizeof kLibraries / sizeof kLibraries[0]] = {};
  int opened = 0;
  for (const char *name : kLibraries) {
    // Kept open for the rest of the run: decoders may be made at any time.
    handles[opened] = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handles[opened]) return false;
    ++opened;
  }
  const auto find = [&](const char *name) -> void * {
    for (void *handle : handles) {
      if (void *symbol = dlsym(handle, name)) return symbol;
    }
    return nullptr;
  };
  bool complete = true;
#define QMV_FFMPEG_FIND(function)                                            \
  function = reinterpret_cast<decltype(function)>(find(#function));         \
  complete = complete && function != nullptr;
  QMV_FFMPEG_FUNCTIONS(QMV_FFMPEG_FIND)
#undef QMV_FFMPEG_FIND
  return complete;
}

const FfmpegLibrary *FfmpegLibrary::Get() {
  static const FfmpegLibrary *const loaded = [] {
    static FfmpegLibrary library;
    return library.Load() ? &library : nullptr;
  }();
  return loaded;
}

}  // namespace wmf
