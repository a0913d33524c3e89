// Test kinds for scenes: a scene that counts its lifecycle calls and a
// transition that records the scenes it is handed.
#pragma once

#include "framework/scene/Scene.h"

namespace scenetest {

class CountingScene : public Qmv2::Scene {
public:
    explicit CountingScene(Qmv2::PropertyNode* description) : Scene(description) {}

    void Show() override
    {
        ++shows;
        Scene::Show();
    }
    void Load() override
    {
        ++loads;
        Scene::Load();
    }
    void Activate() override
    {
        ++activations;
        Scene::Activate();
    }
    void Deactivate() override
    {
        ++deactivations;
        Scene::Deactivate();
    }

    int shows = 0;
    int loads = 0;
    int activations = 0;
    int deactivations = 0;
};

class CountingTransition : public CountingScene {
public:
    explicit CountingTransition(Qmv2::PropertyNode* description) : CountingScene(description) {}

    void SetScenes(Qmv2::Scene* from, Qmv2::Scene* to) override
    {
        this->from = from;
        this->to = to;
    }

    Qmv2::Scene* from = nullptr;
    Qmv2::Scene* to = nullptr;
};

}  // namespace scenetest
