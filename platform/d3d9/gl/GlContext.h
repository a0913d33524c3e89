// The GL context a device draws with, shared by the device and every resource
// it made, so it outlives whichever of them goes last. Only the thread that
// made it (the window thread) calls GL; GL objects that other threads give up
// are queued and deleted there.
#pragma once

#include "platform/d3d9/gl/GlFunctions.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SDL_Window;

namespace platform::d3d9 {

class GlTexture9;

// What the graphics driver can do, read once from a GL context.
struct GlLimits {
    int maxTextureSize = 0;
    bool nonPowerOfTwo = false;
    bool framebufferObjects = false;
    bool separateBlend = false;
    std::string vendor;
    std::string renderer;
};

class GlContext {
public:
    // Uses the window's current context when there is one on this thread,
    // else makes one; a null window gets a hidden window of its own.
    static std::shared_ptr<GlContext> Create(SDL_Window* window);
    // The driver's limits, probed once through a hidden window when no context
    // is current; false when there is no display or no usable GL.
    static bool QueryLimits(GlLimits* limits);
    // Starts SDL's video part once; false without a display.
    static bool EnsureVideo();

    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool OnGlThread() const { return std::this_thread::get_id() == thread_; }
    // On the window thread: makes the context current and deletes queued objects.
    bool MakeCurrent();
    const GlFunctions& Gl() const { return gl_; }
    SDL_Window* Window() const { return window_; }

    // Sets where clip space's top lands (GL_LOWER_LEFT or GL_UPPER_LEFT), where
    // the driver can choose; the last choice is remembered, so a repeat costs nothing.
    void SetClipOrigin(GLenum origin);

    void DeleteTexture(unsigned name);
    void DeleteFramebuffer(unsigned name);

    void RegisterManaged(GlTexture9* texture);
    void UnregisterManaged(GlTexture9* texture);
    void ForEachManaged(const std::function<void(GlTexture9&)>& action);

private:
    GlContext() = default;
    void CollectGarbage();

    SDL_Window* window_ = nullptr;
    bool ownsWindow_ = false;
    void* context_ = nullptr;
    bool ownsContext_ = false;
    std::thread::id thread_;
    GlFunctions gl_;
    GLenum clipOrigin_ = GL_LOWER_LEFT;

    std::recursive_mutex mutex_;
    std::vector<unsigned> deadTextures_;
    std::vector<unsigned> deadFramebuffers_;
    std::vector<GlTexture9*> managed_;
};

}  // namespace platform::d3d9
