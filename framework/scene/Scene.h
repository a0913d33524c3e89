// One full screen of the game: a dialog that keeps the dialogs shown on top
// of it and a container for its own animations. A scene is made once, shown
// (its components made on the first showing), then activated and deactivated
// by the scene manager as the player moves between screens. An inactive
// scene is hidden and suspended, so neither it nor its animations run.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/ModifierContainer.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class Scene : public Dialog {
    QMV_INDEXED_TYPE(Scene)

    enum LoadState : std::int32_t { kNew = 0, kActive = 1, kLoaded = 2 };

    // Builds the dialog part; the scene starts hidden, suspended, not modal
    // and without input.
    explicit Scene(PropertyNode* description);
    ~Scene() override;

    // Makes the components on the first showing, then shows the dialog part.
    // Input stays off until Activate.
    void Show() override;
    // A scene is closed by taking it out of play.
    void Close() override { Deactivate(); }
    // Hidden, suspended and deaf; its managed textures are evicted.
    virtual void Deactivate();
    // Visible, running and listening.
    virtual void Activate();
    // Makes the components listed under "scenecomponents".
    virtual void Load();
    // A transition is told which scene it leaves and which it leads to; an
    // ordinary scene ignores this.
    virtual void SetScenes(Scene* from, Scene* to)
    {
        (void)from;
        (void)to;
    }

    // The first dialog of that name, or null.
    Dialog* FindDialog(const std::string& name) const;
    // The dialog named `name` (the key when empty), made from the dialog
    // definition `key` when the scene holds none yet; null when no dialog
    // can be made from that definition. The dialog is not shown.
    Dialog* GetDialog(const std::string& key, const std::string& name);
    // Puts the dialog on top of the scene and shows it.
    void ShowDialog(Dialog* dialog);
    // Closes the dialog, marks it for removal and forgets it.
    void CloseDialog(Dialog* dialog);

    std::int32_t GetLoadState() const noexcept { return m_LoadState; }
    void SetLoadState(std::int32_t state) noexcept { m_LoadState = state; }
    ModifierContainer* GetAnimations() const noexcept { return m_Animations.Get(); }
    const GFVector<SmartPtr<Dialog>>& GetDialogs() const noexcept { return m_Dialogs; }

private:
    // Switches input on or off for the scene and its children; switching it
    // off also drops any half-finished press or drag.
    void SetInput(bool on);

    std::int32_t m_LoadState = kNew;
    GFVector<SmartPtr<Dialog>> m_Dialogs;
    SmartPtr<ModifierContainer> m_Animations;
};

}  // namespace Qmv2
