// The class index's type records of this folder's classes (the records of
// classes still to be written included), in the form of
// framework/core/object/ClassRecords.h. The folder's registration adds
// them to the index at start-up.
#pragma once

#include "framework/core/object/ClassIndex.h"
#include "framework/graphics/GraphicsRecords.h"

namespace Qmv2::ClassIndex {

QMV_INDEX_RECORD(AbstractPainter, BaseObject)
QMV_INDEX_RECORD(Modifier, BaseObject)
QMV_INDEX_RECORD(StyleFormat, BaseObject)
QMV_INDEX_RECORD(ModifierSimpleAlpha, Modifier)
QMV_INDEX_RECORD(ModifierDelay, Modifier)
QMV_INDEX_RECORD(ModifierAlpha, Modifier)
QMV_INDEX_RECORD(ModifierBlink, Modifier)
QMV_INDEX_RECORD(ModifierFunction, Modifier)
QMV_INDEX_RECORD(ModifierClipRect, Modifier)
QMV_INDEX_RECORD(ModifierRotation, Modifier)
QMV_INDEX_RECORD(ModifierFrame, Modifier)
QMV_INDEX_RECORD(ModifierSound, Modifier)
QMV_INDEX_RECORD(ModifierContainer, Modifier)
QMV_INDEX_RECORD(ModifierFraction, Modifier)
QMV_INDEX_RECORD(ModifierVisible, Modifier)
QMV_INDEX_RECORD(ModifierSkew, Modifier)
QMV_INDEX_RECORD(ModifierLuaFunction, Modifier)
QMV_INDEX_RECORD(ModifierLuaSendCommand, Modifier)
QMV_INDEX_RECORD(ModifierScale, ModifierFraction)
QMV_INDEX_RECORD(ModifierFractionFunc, ModifierFraction)
QMV_INDEX_RECORD(ModifierLocation, ModifierFraction)
QMV_INDEX_RECORD(ModifierLocationLine, ModifierLocation)
QMV_INDEX_RECORD(DialogPainter, AbstractPainter)
QMV_INDEX_RECORD(FormatNewLine, StyleFormat)
QMV_INDEX_RECORD(FormatColor, StyleFormat)
QMV_INDEX_RECORD(FormatFont, StyleFormat)
QMV_INDEX_RECORD(FormatImage, StyleFormat)
QMV_INDEX_RECORD(FormatWrapStyle, StyleFormat)
QMV_INDEX_RECORD(FormatAlignV, StyleFormat)
QMV_INDEX_RECORD(FormatAlignH, StyleFormat)
QMV_INDEX_RECORD(FormatTab, StyleFormat)
QMV_INDEX_RECORD(FormatWidth, StyleFormat)
QMV_INDEX_RECORD(TaskPurge, iTask)
QMV_INDEX_RECORD(TaskTickUpdate, iTask)
QMV_INDEX_RECORD(GameTree, GameNode)
QMV_INDEX_RECORD(AnimTree, ModifierContainer)
QMV_INDEX_RECORD(SoundNode, GameNode)
QMV_INDEX_RECORD(Sprite, GameNode, iRenderable, GraphicsSettings, iClippable)
QMV_INDEX_RECORD(ClickableSprite, Sprite)
QMV_INDEX_RECORD(LabelStyle, Sprite)
QMV_INDEX_RECORD(Label, Sprite)
QMV_INDEX_RECORD(ToolTipLabel, Label)
QMV_INDEX_RECORD(LabelInput, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Slider, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Button, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Switch, Button)
QMV_INDEX_RECORD(ButtonURL, Button)
QMV_INDEX_RECORD(Dialog, Sprite, iInputListener)
QMV_INDEX_RECORD(Scene, Dialog)
QMV_INDEX_RECORD(SceneTransition, Scene)
QMV_INDEX_RECORD(SceneTransitionAlpha, SceneTransition)
QMV_INDEX_RECORD(SceneTransitionFadeBlack, SceneTransition)
QMV_INDEX_RECORD(SceneManager, iTask)
QMV_INDEX_RECORD(TaskRender, iTask)
QMV_INDEX_RECORD(Tooltip, iTask, iInputListener)

// Every record above, for the folder's registration.
inline constexpr const ClassType* kSceneRecords[] = {
    &AbstractPainter,
    &Modifier,
    &StyleFormat,
    &ModifierSimpleAlpha,
    &ModifierDelay,
    &ModifierAlpha,
    &ModifierBlink,
    &ModifierFunction,
    &ModifierClipRect,
    &ModifierRotation,
    &ModifierFrame,
    &ModifierSound,
    &ModifierContainer,
    &ModifierFraction,
    &ModifierVisible,
    &ModifierSkew,
    &ModifierLuaFunction,
    &ModifierLuaSendCommand,
    &ModifierScale,
    &ModifierFractionFunc,
    &ModifierLocation,
    &ModifierLocationLine,
    &DialogPainter,
    &FormatNewLine,
    &FormatColor,
    &FormatFont,
    &FormatImage,
    &FormatWrapStyle,
    &FormatAlignV,
    &FormatAlignH,
    &FormatTab,
    &FormatWidth,
    &TaskPurge,
    &TaskTickUpdate,
    &GameTree,
    &AnimTree,
    &SoundNode,
    &Sprite,
    &ClickableSprite,
    &LabelStyle,
    &Label,
    &ToolTipLabel,
    &LabelInput,
    &Slider,
    &Button,
    &Switch,
    &ButtonURL,
    &Dialog,
    &Scene,
    &SceneTransition,
    &SceneTransitionAlpha,
    &SceneTransitionFadeBlack,
    &SceneManager,
    &TaskRender,
    &Tooltip,
};

}  // namespace Qmv2::ClassIndex
