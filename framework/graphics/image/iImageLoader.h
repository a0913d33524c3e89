// Decodes image files, from memory or from disk, straight into renderer
// textures: one texture for the whole picture or one per frame of a frame
// sheet, 32-bit ARGB, optionally as an alpha-only mask and optionally with a
// padding column and row that repeat the frame's edge.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/render/ImageData.h"

namespace Qmv2 {

struct DecodedImage;

class iImageLoader : public BaseObject {
    QMV_INDEXED_TYPE(iImageLoader)

    enum Flags : std::uint32_t {
        kMaskOnly = 1,  // the file is a mask: its values become alpha
        kPadding = 2,   // repeat the last column and row where the texture has room
    };

    iImageLoader() = default;
    ~iImageLoader() override = default;

    // Whether the file name's extension is one this loader reads.
    virtual bool CanLoad(const std::string& fileName) = 0;
    // The picture's size from its header.
    virtual bool ReadSize(std::int32_t& width, std::int32_t& height) = 0;
    // Decodes the picture into frame count textures; false when it cannot be
    // decoded or a texture could not be made (the textures made so far stay).
    virtual bool Load() = 0;
    // Whether the file on disk starts as this loader's format does.
    virtual bool CheckSignature(const std::string& fileName) = 0;

    // The file's bytes (not owned, kept alive by the caller during the load),
    // or null to read the path from disk.
    void SetMemory(const std::uint8_t* memory, std::int32_t size)
    {
        m_Memory = memory;
        m_MemorySize = memory != nullptr && size > 0 ? size : 0;
    }
    void SetFlags(std::uint32_t flags) { m_Flags = flags; }
    void SetPath(const std::string& path) { m_Path = path; }
    // Counts of 0 or less mean 1.
    void SetFrames(std::int32_t frameCount, std::int32_t columnCount)
    {
        m_FrameCount = frameCount > 0 ? frameCount : 1;
        m_ColumnCount = columnCount > 0 ? columnCount : 1;
    }

    std::uint32_t GetFlags() const { return m_Flags; }
    std::int32_t GetFrameCount() const { return m_FrameCount; }
    std::int32_t GetColumnCount() const { return m_ColumnCount; }
    // The textures of the last load, one per frame, each held once.
    const GFVector<SmartPtr<ImageData>>& GetImageData() const { return m_ImageData; }
    void DropImageData() { m_ImageData.Clear(); }

protected:
    // Cuts the picture into the frame grid and writes each frame into a new
    // texture; true when every frame got its texture.
    bool WriteFrames(const DecodedImage& image);

    const std::uint8_t* m_Memory = nullptr;
    std::int32_t m_MemorySize = 0;
    std::uint32_t m_Flags = 0;
    std::string m_Path;
    std::int32_t m_FrameCount = 1;
    std::int32_t m_ColumnCount = 1;
    GFVector<SmartPtr<ImageData>> m_ImageData;

private:
    bool WriteFrame(ImageData& texture, const DecodedImage& image, std::int32_t left, std::int32_t top,
                    std::int32_t width, std::int32_t height);
};

}  // namespace Qmv2
