// The base of every dialog of the game: a sound when it is shown and hidden,
// an optional darkened backdrop, and a fade in and out during which the
// dialog takes no input. Subclasses call FadeIn from their Show and close
// themselves with Hide.
#pragma once

#include "framework/core/object/iGuiMethod.h"
#include "framework/scene/Dialog.h"
#include "game/frontend/FrontendRecords.h"

#include <string>

namespace Qmv2 {
class KeyboardMessageData;
class Label;
class Scene;
}  // namespace Qmv2
class iDialogOwnerScene;

class DialogQuorvel2 : public Qmv2::Dialog {
    QMV_INDEXED_TYPE(DialogQuorvel2)

    using CloseCallback = void (*)(void* object);
    using Callback = Qmv2::iGuiMethod::Callback;

    // "dodarkenbackground": any text but empty or "false" darkens.
    explicit DialogQuorvel2(Qmv2::PropertyNode* description);

    // Shows the dialog, plays its show sound and darkens the backdrop when
    // asked to or when it stands over another dialog.
    void Show() override;
    // Whether another dialog, shown, lies below this one: one it hangs
    // from, or one shown before it in the scene that holds it.
    bool StandsOverDialog() const;
    void DarkenBackground();
    // Fades the dialog in from transparent; input comes back at the end.
    void FadeIn();
    // Fades the dialog out, then closes it in the scene that holds it and
    // runs the close callback.
    void Hide();

    // The scene that holds the dialog (the current scene when it is in none).
    Qmv2::Scene* GetOwnerScene() const;
    // The playing scene that holds the dialog; null in any other scene.
    iDialogOwnerScene* GetOwnerGameScene() const;
    // Closes the dialog at once in the scene that holds it.
    void CloseInOwnerScene();

    // Widget callbacks; `target` is a DialogQuorvel2.
    // Hides the dialog with itself as the close object.
    static void HideSelf(void* target, void* component);
    // Closes the dialog at once, without a fade.
    static void CloseNow(void* target, void* component);
    // Ends a fade-in: the dialog and its components take input again.
    static void EnableInput(void* target, void* argument);

    void SetCloseCallback(void* object, CloseCallback callback) noexcept
    {
        m_CloseObject = object;
        m_CloseCallback = callback;
    }
    void* GetCloseObject() const noexcept { return m_CloseObject; }
    bool GetPlaySounds() const noexcept { return m_PlaySounds; }
    void SetPlaySounds(bool play) noexcept { m_PlaySounds = play; }
    bool GetDarkenBackground() const noexcept { return m_DarkenBackground; }

    // Gets the dialog `key` of the scene that holds this one (made on first
    // use), puts it on top of that scene and shows it; null when it cannot be
    // made.
    Qmv2::Dialog* OpenOver(const std::string& key);

    // The component (searched in the whole dialog) of that name and kind, or
    // null.
    template <typename T>
    T* FindComponent(const std::string& name) const
    {
        return FindTyped<T>(*this, name);
    }
    template <typename T>
    static T* FindTyped(const Qmv2::GameNode& node, const std::string& name)
    {
        Qmv2::GameNode* found = node.FindChild(name, true);
        return found != nullptr && found->IsOfType(&T::s_Type) ? static_cast<T*>(found) : nullptr;
    }

    // The fade time of every dialog, in ms.
    static std::int32_t FadeTime();

protected:
    // Widget callback target for this dialog.
    void* AsTarget() { return static_cast<DialogQuorvel2*>(this); }
    // Binds a component to a static member taking this dialog as target.
    void Bind(const std::string& name, Callback function) { SetComponentMethod(name, AsTarget(), function); }
    // A label among the components, or null.
    Qmv2::Label* FindLabel(const std::string& name) const;
    // Sets a label's text to the text of `key`; nothing without the label.
    static void SetLabelText(Qmv2::Label* label, const std::string& key);
    // Whether the key is the round dialogs' OK key (Enter).
    static bool IsOkKey(const Qmv2::KeyboardMessageData* data);

private:
    // Input off for the dialog and its components, any press dropped.
    void StopInput();
    static void CloseAndCallBack(void* target, void* argument);

    void* m_CloseObject = nullptr;
    CloseCallback m_CloseCallback = nullptr;
    bool m_PlaySounds = true;
    bool m_DarkenBackground = false;
};
