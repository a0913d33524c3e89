#include "platform/d3d9/gl/GlContext.h"

#include "platform/win32/WinDisplay.h"
#include "platform/win32/WinWindow.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>

namespace platform::d3d9 {
namespace {

std::mutex g_limitsLock;
bool g_limitsKnown = false;
GlLimits g_limits;

bool HasExtension(const char* name)
{
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (all == nullptr) {
        return false;
    }
    size_t length = std::strlen(name);
    for (const char* p = std::strstr(all, name); p != nullptr; p = std::strstr(p + 1, name)) {
        bool starts = p == all || p[-1] == ' ';
        bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends) {
            return true;
        }
    }
    return false;
}

// Reads the limits from the current context.
GlLimits ReadLimits()
{
    GlLimits limits;
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    limits.maxTextureSize = size;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = version != nullptr ? std::atoi(version) : 0;
    limits.nonPowerOfTwo = major >= 2 || HasExtension("GL_ARB_texture_non_power_of_two");
    GlFunctions gl;
    limits.framebufferObjects = gl.Load();
    limits.separateBlend = gl.HasSeparateBlend();
    const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    limits.vendor = vendor != nullptr ? vendor : "";
    limits.renderer = renderer != nullptr ? renderer : "";
    return limits;
}

SDL_Window* CreateHiddenWindow()
{
    return SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1, 1,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
}

}  // namespace

bool GlContext::EnsureVideo()
{
    return platform::StartVideoSubsystem();
}

bool GlContext::QueryLimits(GlLimits* limits)
{
    std::lock_guard<std::mutex> hold(g_limitsLock);
    if (!g_limitsKnown) {
        if (SDL_GL_GetCurrentContext() != nullptr) {
            g_limits = ReadLimits();
        } else {
            if (!EnsureVideo()) {
                return false;
            }
            SDL_Window* window = CreateHiddenWindow();
            if (window == nullptr) {
                return false;
            }
            SDL_GLContext context = SDL_GL_CreateContext(window);
            if (context == nullptr) {
                SDL_DestroyWindow(window);
                return false;
            }
            g_limits = ReadLimits();
            SDL_GL_MakeCurrent(window, nullptr);
            SDL_GL_DeleteContext(context);
            SDL_DestroyWindow(window);
        }
        g_limitsKnown = g_limits.maxTextureSize > 0;
        if (!g_limitsKnown) {
            return false;
        }
    }
    *limits = g_limits;
    return true;
}

std::shared_ptr<GlContext> GlContext::Create(SDL_Window* window)
{
    if (!EnsureVideo()) {
        return nullptr;
    }
    std::shared_ptr<GlContext> self(new GlContext());
    self->thread_ = std::this_thread::get_id();
    if (window == nullptr) {
        window = CreateHiddenWindow();
        if (window == nullptr) {
            return nullptr;
        }
        self->ownsWindow_ = true;
    }
    self->window_ = window;
    // One context for the whole run: the window layer's when it made one,
    // else the one current on this window, else a context of the device's own.
    SDL_GLContext current = SDL_GL_GetCurrentContext();
    if (!self->ownsWindow_ && platform::SharedGlContext() != nullptr) {
        self->context_ = platform::SharedGlContext();
    } else if (current != nullptr && SDL_GL_GetCurrentWindow() == window) {
        self->context_ = current;
    } else {
        self->context_ = SDL_GL_CreateContext(window);
        if (self->context_ == nullptr) {
            return nullptr;  // the destructor drops the hidden window
        }
        self->ownsContext_ = true;
    }
    if (SDL_GL_MakeCurrent(window, self->context_) != 0 || !self->gl_.Load()) {
        return nullptr;
    }
    return self;
}

GlContext::~GlContext()
{
    if (OnGlThread() && context_ != nullptr && SDL_GL_MakeCurrent(window_, context_) == 0) {
        CollectGarbage();
        if (ownsContext_) {
            SDL_GL_MakeCurrent(window_, nullptr);
            SDL_GL_DeleteContext(context_);
        }
    }
    // Off the window thread the context cannot be deleted safely; it is left to the process.
    if (ownsWindow_ && window_ != nullptr) {
        SDL_DestroyWindow(window_);
    }
}

void GlContext::SetClipOrigin(GLenum origin)
{
    if (origin != clipOrigin_ && gl_.ClipControl != nullptr) {
        gl_.ClipControl(origin, GL_NEGATIVE_ONE_TO_ONE);
        clipOrigin_ = origin;
    }
}

bool GlContext::MakeCurrent()
{
    if (!OnGlThread()) {
        return false;
    }
    if (SDL_GL_GetCurrentContext() != context_ || SDL_GL_GetCurrentWindow() != window_) {
        if (SDL_GL_MakeCurrent(window_, context_) != 0) {
            return false;
        }
    }
    CollectGarbage();
    return true;
}

void GlContext::CollectGarbage()
{
    std::vector<unsigned> textures;
    std::vector<unsigned> framebuffers;
    {
        std::lock_guard<std::recursive_mutex> hold(mutex_);
        textures.swap(deadTextures_);
        framebuffers.swap(deadFramebuffers_);
    }
    if (!framebuffers.empty()) {
        gl_.DeleteFramebuffers(static_cast<GLsizei>(framebuffers.size()), framebuffers.data());
    }
    if (!textures.empty()) {
        glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
    }
}

void GlContext::DeleteTexture(unsigned name)
{
    if (name == 0) {
        return;
    }
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    deadTextures_.push_back(name);
}

void GlContext::DeleteFramebuffer(unsigned name)
{
    if (name == 0) {
        return;
    }
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    deadFramebuffers_.push_back(name);
}

void GlContext::RegisterManaged(GlTexture9* texture)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    managed_.push_back(texture);
}

void GlContext::UnregisterManaged(GlTexture9* texture)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    managed_.erase(std::remove(managed_.begin(), managed_.end(), texture), managed_.end());
}

void GlContext::ForEachManaged(const std::function<void(GlTexture9&)>& action)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    for (GlTexture9* texture : managed_) {
        action(*texture);
    }
}

}  // namespace platform::d3d9
