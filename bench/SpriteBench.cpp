// Drawing N textured 32 x 32 sprites per frame (clear, sprites, present) at
// 800 x 600 through the framework's 2D drawing object on the Direct3D
// stand-in, side by side with SDL2's own accelerated renderer (the "opengl"
// driver, batching on, linear filtering) on the same GL driver, same texture,
// same places. Then the case a game has: the sprites as nodes of a scene
// under a background, drawn by the framework's render task, of which some
// move each frame, side by side with SDL2 drawing the same moving sprites
// (SDL2's renderer draws every sprite each frame).
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" sprites_bench
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include <sys/resource.h>

#include <SDL.h>
#include <SDL_opengl.h>
#include <benchmark/benchmark.h>

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/ImageData.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/scene/BackgroundNode.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/TaskRender.h"
#include "platform/d3d9/Direct3D9Library.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kSprite = 32;
constexpr int kMaxSprites = 10000;

// The sprite's pixels, ARGB: a soft-edged disc over a two-colour check.
std::vector<std::uint32_t> SpritePixels()
{
    std::vector<std::uint32_t> pixels(kSprite * kSprite);
    for (int y = 0; y < kSprite; ++y) {
        for (int x = 0; x < kSprite; ++x) {
            const int dx = x - kSprite / 2;
            const int dy = y - kSprite / 2;
            const int d2 = dx * dx + dy * dy;
            const std::uint32_t alpha = d2 < 196 ? 0xFF : (d2 < 256 ? 0x80 : 0x00);
            const std::uint32_t rgb = ((x / 8 + y / 8) % 2) != 0 ? 0xFFF8E7 : 0x1D3557;
            pixels[y * kSprite + x] = (alpha << 24) | rgb;
        }
    }
    return pixels;
}

// CPU seconds of the whole process, the rasteriser's threads included: on a
// software rasteriser this is the drawing's whole cost, less swayed by other
// programs' load than the wall clock.
double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void CountCpu(benchmark::State& state, double startSeconds)
{
    const auto frames = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["cpu_ms_all"] = benchmark::Counter((ProcessCpuSeconds() - startSeconds) * 1000.0 / frames);
}

struct Place {
    float x;
    float y;
};

// The same places for both renderers, inside the window.
const std::vector<Place>& Places()
{
    static const std::vector<Place> places = [] {
        std::mt19937 random(12345);
        std::uniform_real_distribution<float> x(0.0f, kWidth - kSprite);
        std::uniform_real_distribution<float> y(0.0f, kHeight - kSprite);
        std::vector<Place> result(kMaxSprites);
        for (Place& p : result) {
            p = {x(random), y(random)};
        }
        return result;
    }();
    return places;
}

// Whether sprite `index` of `count` is one of the `moving` that move, spread
// evenly through the drawing order.
bool Moves(std::size_t index, std::size_t count, std::size_t moving)
{
    return moving != 0 && index % (count / moving) == 0 && index / (count / moving) < moving;
}

// Where a moving sprite stands in frame `frame`: its place shifted back and
// forth by up to 8 pixels in both directions, in steps of 3/4 of a pixel.
Place MovedPlace(const Place& place, std::int64_t frame)
{
    const auto phase = static_cast<int>(frame % 32);
    const float offset = (static_cast<float>(phase < 16 ? phase : 32 - phase) - 8.0f) * 0.75f;
    return {place.x + offset, place.y - offset};
}

// The framework's renderer with its window and one sprite image, made once.
struct FrameworkScene {
    Qmv2::SmartPtr<Qmv2::Image> image;
    bool ready = false;

    FrameworkScene()
    {
        Qmv2::GameWindowWin32::CreateGameWindow("sprites bench", kWidth, kHeight, false);
        Qmv2::ImageManager::Create();
        platform::d3d9::RegisterDirect3D9Library();
        // 10 000 sprites need 40 000 vertices; the budget allows 65 535.
        if (Qmv2::Renderer::Create(kWidth, kHeight, true, Qmv2::Renderer::kMaxVertexBudget) != 0) {
            return;
        }
        // Presentation waits for no retrace here, like the SDL renderer below.
        SDL_GL_SetSwapInterval(0);
        std::fprintf(stderr, "framework: GL renderer %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        Qmv2::SmartPtr<Qmv2::ImageData> data(Qmv2::Renderer::GetInstance()->CreateTexture(kSprite, kSprite));
        if (!data || !data->Lock(false)) {
            return;
        }
        const std::vector<std::uint32_t> pixels = SpritePixels();
        auto* bytes = static_cast<std::uint8_t*>(data->GetBits());
        for (int y = 0; y < kSprite; ++y) {
            std::copy_n(&pixels[y * kSprite], kSprite, reinterpret_cast<std::uint32_t*>(bytes + y * data->GetPitch()));
        }
        data->Unlock();
        image = Qmv2::SmartPtr<Qmv2::Image>(new Qmv2::Image(data.Get(), 1, 1));
        ready = true;
    }
};

// One framework window and renderer for every framework case.
FrameworkScene& Framework()
{
    static FrameworkScene scene;
    return scene;
}

void FrameworkSprites(benchmark::State& state)
{
    FrameworkScene& scene = Framework();
    if (!scene.ready) {
        state.SkipWithError("the framework's renderer could not start");
        return;
    }
    Qmv2::Renderer* renderer = Qmv2::Renderer::GetInstance();
    Qmv2::Graphics* g = renderer->GetScreenGraphics();
    Qmv2::ImageFrame* frame = scene.image->GetFirstFrame();
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<Place>& places = Places();
    const double start = ProcessCpuSeconds();
    for (auto _ : state) {
        g->Begin();
        g->Reset();
        g->SetPackedColor(0xFF202020u);
        g->ClearTarget();
        for (std::size_t i = 0; i < count; ++i) {
            g->Reset();
            g->SetImage(frame);
            g->SetBoundsRect({0, 0, static_cast<float>(kSprite), static_cast<float>(kSprite)});
            g->SetPosition(places[i].x, places[i].y);
            g->DrawImage();
        }
        if (g->End()) {
            renderer->Present();
        }
    }
    CountCpu(state, start);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The game's case: `count` sprite nodes over a background node in one tree,
// drawn by the framework's render task as a scene is; `moving` of them are
// moved each frame before the tree is drawn.
void FrameworkSceneSprites(benchmark::State& state)
{
    FrameworkScene& scene = Framework();
    if (!scene.ready) {
        state.SkipWithError("the framework's renderer could not start");
        return;
    }
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto moving = static_cast<std::size_t>(state.range(1));
    const std::vector<Place>& places = Places();
    Qmv2::SmartPtr<Qmv2::GameNode> root(new Qmv2::GameNode("sprites"));
    root->AddChild(new Qmv2::BackgroundNode(Qmv2::Color(0xFF202020u)));
    std::vector<Qmv2::Sprite*> sprites;
    for (std::size_t i = 0; i < count; ++i) {
        auto* sprite = new Qmv2::Sprite(places[i].x, places[i].y, scene.image.Get());
        root->AddChild(sprite);
        sprites.push_back(sprite);
    }
    Qmv2::TaskRender render(root.Get());
    // The first frame draws everything; the frames timed draw what changes.
    render.Execute(16);
    std::int64_t frame = 0;
    const double start = ProcessCpuSeconds();
    for (auto _ : state) {
        ++frame;
        for (std::size_t i = 0; i < count; ++i) {
            if (Moves(i, count, moving)) {
                const Place to = MovedPlace(places[i], frame);
                sprites[i]->SetPosition(to.x, to.y);
            }
        }
        render.Execute(16);
    }
    CountCpu(state, start);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    root->DetachAndReleaseChildren();
}

// SDL2's renderer in a window of its own, with the same texture, made once.
struct SdlScene {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;

    SdlScene()
    {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
        // Naming a driver turns SDL's batching off unless asked for.
        SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
        // Linear filtering, as the framework's renderer samples its textures.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        window = SDL_CreateWindow("sdl bench", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth, kHeight,
                                  SDL_WINDOW_OPENGL);
        renderer = window != nullptr ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
        if (renderer == nullptr) {
            return;
        }
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(renderer, &info);
        std::fprintf(stderr, "SDL: render driver %s, GL renderer %s\n", info.name,
                     reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, kSprite, kSprite);
        const std::vector<std::uint32_t> pixels = SpritePixels();
        SDL_UpdateTexture(texture, nullptr, pixels.data(), kSprite * 4);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    }
};

// One SDL window and renderer for every SDL case.
SdlScene& Sdl()
{
    static SdlScene scene;
    return scene;
}

void SdlSprites(benchmark::State& state)
{
    SdlScene& scene = Sdl();
    if (scene.texture == nullptr) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<Place>& places = Places();
    const double start = ProcessCpuSeconds();
    for (auto _ : state) {
        SDL_SetRenderDrawColor(scene.renderer, 0x20, 0x20, 0x20, 0xFF);
        SDL_RenderClear(scene.renderer);
        for (std::size_t i = 0; i < count; ++i) {
            const SDL_FRect to{places[i].x, places[i].y, static_cast<float>(kSprite), static_cast<float>(kSprite)};
            SDL_RenderCopyF(scene.renderer, scene.texture, nullptr, &to);
        }
        SDL_RenderPresent(scene.renderer);
    }
    CountCpu(state, start);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// SDL2's side of the game's case: every sprite drawn each frame, `moving` of
// them at their moved places.
void SdlMovingSprites(benchmark::State& state)
{
    SdlScene& scene = Sdl();
    if (scene.texture == nullptr) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto moving = static_cast<std::size_t>(state.range(1));
    const std::vector<Place>& places = Places();
    std::int64_t frame = 0;
    const double start = ProcessCpuSeconds();
    for (auto _ : state) {
        ++frame;
        SDL_SetRenderDrawColor(scene.renderer, 0x20, 0x20, 0x20, 0xFF);
        SDL_RenderClear(scene.renderer);
        for (std::size_t i = 0; i < count; ++i) {
            const Place at = Moves(i, count, moving) ? MovedPlace(places[i], frame) : places[i];
            const SDL_FRect to{at.x, at.y, static_cast<float>(kSprite), static_cast<float>(kSprite)};
            SDL_RenderCopyF(scene.renderer, scene.texture, nullptr, &to);
        }
        SDL_RenderPresent(scene.renderer);
    }
    CountCpu(state, start);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

// Argument: sprites a frame; 0 is clear and present alone, the fixed cost.
// The framework's runs come first: once SDL's renderer has made its GL
// context current, the framework's is not used again.
BENCHMARK(FrameworkSprites)->Arg(0)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime()->Unit(benchmark::kMillisecond);
// Arguments: sprite nodes, and how many of them move each frame.
BENCHMARK(FrameworkSceneSprites)
    ->Args({1000, 50})
    ->Args({1000, 0})
    ->Args({100, 100})
    ->Args({1000, 1000})
    ->Args({10000, 10000})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SdlSprites)->Arg(0)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SdlMovingSprites)
    ->Args({1000, 50})
    ->Args({100, 100})
    ->Args({1000, 1000})
    ->Args({10000, 10000})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
