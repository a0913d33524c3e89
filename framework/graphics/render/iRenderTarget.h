// Something a drawing object can draw into: the back buffer or a drawable texture.
#pragma once

#include <cstdint>

#include "framework/core/object/Interface.h"

namespace Qmv2 {

class Graphics;
class ImageData;

class iRenderTarget : public Interface {
public:
    QMV_CLASS_TYPE(iRenderTarget, Interface)

    // Gives up the device surface (device loss).
    virtual void ReleaseSurface() = 0;
    // A pass starts drawing into the target.
    virtual void OnBeginDraw() = 0;
    // A pass ended and its scene ended without device loss.
    virtual void OnEndDraw() = 0;
    virtual void CreateSurface() = 0;
    // Makes the surface when it is missing; answers whether there is one.
    virtual bool IsReady() = 0;
    // A new drawing object (no reference taken yet) that draws into this target.
    virtual Graphics* CreateGraphics() = 0;
    virtual ImageData* GetImageData() = 0;
    virtual Interface* GetInterface(const ClassType* type) = 0;

    virtual std::int32_t GetTargetWidth() const = 0;
    virtual std::int32_t GetTargetHeight() const = 0;
};

}  // namespace Qmv2
