#include "framework/graphics/image/Mask.h"

#include <algorithm>

#include "framework/core/files/FileLoader.h"
#include "framework/core/properties/MemoryBuffer.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/FileSystem.h"
#include "framework/graphics/image/ImageFrame.h"
#include "framework/graphics/image/ImageLoaderPNG.h"

namespace Qmv2 {

namespace {

constexpr const char* kKindKeys[] = {"alphamask", "bitmask", "colorlut"};

}  // namespace

Mask::Mask(PropertyNode* description) : ResourceObject(description)
{
    PropertyNode* node = PropertyNode::AsNode(description);
    for (std::int32_t kind = 0; kind < 3; ++kind) {
        if (node->HasChild(kKindKeys[kind])) {
            m_Kind = kind;
            SetFileName(node->GetString(kKindKeys[kind]));
        }
    }
}

Mask::Mask(const std::string& fileName, std::int32_t kind) : ResourceObject(fileName), m_Kind(kind) {}

Mask::Mask(ImageFrame* frame, float threshold) : ResourceObject(std::string()), m_Threshold(threshold)
{
    const ImageRect rect = frame != nullptr ? frame->GetPixelRect() : ImageRect{};
    ImageData* data = frame != nullptr ? frame->GetImageData() : nullptr;
    m_Data = std::make_unique<MaskData>(std::max(rect.width, 0), std::max(rect.height, 0), 8);
    if (data == nullptr) {
        return;
    }
    // Reading the pixels is no change to them: the image keeps its modified flag.
    const bool wasModified = data->IsModified();
    if (!data->Lock(true)) {
        data->SetModified(wasModified);
        return;
    }
    const auto* bits = static_cast<const std::uint8_t*>(data->GetBits());
    std::uint8_t* out = m_Data->GetData().data();
    for (std::int32_t y = 0; y < m_Data->GetHeight() && bits != nullptr; ++y) {
        for (std::int32_t x = 0; x < m_Data->GetWidth(); ++x) {
            const std::int32_t sourceX = rect.x + x;
            const std::int32_t sourceY = rect.y + y;
            const bool inside = sourceX >= 0 && sourceY >= 0 && sourceX < data->GetTextureWidth() &&
                                sourceY < data->GetTextureHeight();
            // Alpha is the fourth byte of each 32-bit pixel.
            *out++ = inside ? bits[static_cast<std::ptrdiff_t>(sourceY) * data->GetPitch() + sourceX * 4 + 3] : 0;
        }
    }
    data->Unlock();
    data->SetModified(wasModified);
    ApplyThreshold(threshold);
    SetLoaded();
}

std::string Mask::ToString() const
{
    return ResourceObject::ToString() + " Mask";
}

void Mask::Load()
{
    const std::string& fileName = GetFileName();
    if (!fileName.empty() && FileExists(fileName)) {
        if (s_DefaultLoadFlags != 0) {
            MemoryBuffer_t<unsigned char> buffer;
            if (LoadFile(fileName, buffer, GetLoadFlags())) {
                m_Data.reset(ReadPngMaskMemory(buffer.GetData(), buffer.GetSize(), m_Kind));
            }
        } else if (ImageLoaderPNG().CheckSignature(fileName)) {
            m_Data.reset(ReadPngMaskFile(fileName, m_Kind));
        }
    }
    if (m_Data == nullptr) {
        SetError(kErrorUnspecified);
    } else if (m_Kind == kBitMask) {
        m_Data->PackBits(ClampThreshold(m_Threshold));
    }
    SetLoaded();
}

void Mask::Unload()
{
    ResourceObject::Unload();
    m_Data.reset();
}

std::int32_t Mask::ClampThreshold(float threshold)
{
    if (!(threshold >= 1.0f)) {
        return 0;
    }
    if (threshold >= 255.0f) {
        return 255;
    }
    return static_cast<std::int32_t>(threshold);
}

void Mask::ApplyThreshold(float threshold)
{
    if (m_Data != nullptr && m_Data->GetBitsPerPixel() == 8) {
        m_Data->PackBits(ClampThreshold(threshold));
        m_Kind = kBitMask;
    }
}

bool Mask::HitTest(std::int32_t x, std::int32_t y) const
{
    if (m_Data == nullptr) {
        return false;
    }
    const std::int32_t threshold = ClampThreshold(m_Threshold);
    switch (m_Data->GetBitsPerPixel()) {
    case 1: return m_Data->GetBit(x, y);
    case 8: return m_Data->Contains(x, y) && m_Data->GetValue(x, y) >= threshold;
    case 32: return m_Data->Contains(x, y) && static_cast<std::int32_t>(m_Data->GetColor(x, y) >> 24) >= threshold;
    default: return false;
    }
}

}  // namespace Qmv2
