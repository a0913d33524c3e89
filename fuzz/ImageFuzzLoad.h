// The shared body of the PNG and JPEG fuzz targets: the first byte picks the
// frame grid, padding and mask-only; the rest is the file, loaded from memory
// through the loader. Every texture made must have the frame's size.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "HostRenderer.h"
#include "framework/graphics/image/iImageLoader.h"

inline void FuzzImageLoader(Qmv2::iImageLoader& loader, const std::uint8_t* data, std::size_t size)
{
    HostRenderer::Install();
    if (size == 0) {
        return;
    }
    const std::uint8_t control = data[0];
    const std::int32_t columns = 1 + (control & 3);
    const std::int32_t frames = columns * (1 + ((control >> 2) & 1));
    loader.SetFlags((control >> 3) & 3);
    loader.SetFrames(frames, columns);
    loader.SetMemory(data + 1, static_cast<std::int32_t>(size - 1));
    std::int32_t width = 0;
    std::int32_t height = 0;
    const bool sized = loader.ReadSize(width, height);
    if (loader.Load()) {
        const std::int32_t rows = (frames + columns - 1) / columns;
        if (!sized || loader.GetImageData().GetCount() != frames) {
            std::fprintf(stderr, "loaded without a size or with a wrong frame count\n");
            std::abort();
        }
        for (const auto& texture : loader.GetImageData()) {
            if (texture->GetWidth() != width / columns || texture->GetHeight() != height / rows ||
                texture->IsModified()) {
                std::fprintf(stderr, "texture of a wrong size or left modified\n");
                std::abort();
            }
        }
    }
    loader.DropImageData();
}
