// The class index: the type record of every class of the program, whether its
// class exists yet or not. The records, not the language's class hierarchy,
// decide type tests, and some of them deliberately differ from the hierarchy
// (a property is not a BaseObject for type tests, the game's application
// record names BaseObject rather than Application, ...).
//
// A class whose record is listed here binds to it with QMV_INDEXED_TYPE(Name)
// (or QMV_INDEXED_RECORD(Name) for an interface root), so that there is one
// record per class. A class without a record of its own writes nothing and
// reports its base's record.
#pragma once

#include <cstdint>
#include <string_view>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassType.h"
#include "framework/core/object/Interface.h"
#include "framework/core/object/iGuiMethod.h"

namespace Qmv2 {

// The null-terminated base list of a record, given the base records themselves.
template <const ClassType&... Bases>
inline constexpr const ClassType* RecordBases[sizeof...(Bases) + 1] = {&Bases..., nullptr};

namespace ClassIndex {

#define QMV_INDEX_RECORD(Name, ...) \
    inline constexpr ::Qmv2::ClassType Name{#Name, ::Qmv2::RecordBases<__VA_ARGS__>};

// Records owned by the object model's own classes.
inline constexpr const ClassType& Interface = ::Qmv2::Interface::s_Type;
inline constexpr const ClassType& BaseObject = ::Qmv2::BaseObject::s_Type;
inline constexpr const ClassType& iGuiMethod = ::Qmv2::iGuiMethod::s_Type;

// Roots.
QMV_INDEX_RECORD(AbstractProperty)
QMV_INDEX_RECORD(AnchorPoint)
QMV_INDEX_RECORD(iMessageListener)
QMV_INDEX_RECORD(iHitMask)

// Interfaces.
QMV_INDEX_RECORD(GraphicsSettings, Interface)
QMV_INDEX_RECORD(iInputListener, Interface)
QMV_INDEX_RECORD(iRenderable, Interface)
QMV_INDEX_RECORD(iClippable, Interface)
QMV_INDEX_RECORD(iRenderTarget, Interface)

// The property tree.
QMV_INDEX_RECORD(PropertyValue, AbstractProperty)
QMV_INDEX_RECORD(PropertyNode, AbstractProperty)
QMV_INDEX_RECORD(PropertyVector, AbstractProperty)
QMV_INDEX_RECORD(PropertyStore, PropertyNode)

// Direct descendants of BaseObject.
QMV_INDEX_RECORD(Quorvel2Main, BaseObject)
QMV_INDEX_RECORD(WordTree, BaseObject)
QMV_INDEX_RECORD(GameNode, BaseObject)
QMV_INDEX_RECORD(ResourceManager, BaseObject)
QMV_INDEX_RECORD(ObjectFactory, BaseObject)
QMV_INDEX_RECORD(MemoryBuffer_t, BaseObject)
QMV_INDEX_RECORD(HighScoreEntry, BaseObject)
QMV_INDEX_RECORD(HighScoreTable, BaseObject)
QMV_INDEX_RECORD(HighScoreManager, BaseObject)
QMV_INDEX_RECORD(PolygonF, BaseObject)
QMV_INDEX_RECORD(PlayerManager, BaseObject)
QMV_INDEX_RECORD(GameSettings, BaseObject)
QMV_INDEX_RECORD(Application, BaseObject)
QMV_INDEX_RECORD(AbstractPainter, BaseObject)
QMV_INDEX_RECORD(MessageHandler, BaseObject)
QMV_INDEX_RECORD(MessageData, BaseObject)
QMV_INDEX_RECORD(Message, BaseObject)
QMV_INDEX_RECORD(AbstractPlayer, BaseObject)
QMV_INDEX_RECORD(Modifier, BaseObject)
QMV_INDEX_RECORD(Image, BaseObject)
QMV_INDEX_RECORD(Lua, BaseObject)
QMV_INDEX_RECORD(ResourceSection, BaseObject)
QMV_INDEX_RECORD(FileArchive, BaseObject)
QMV_INDEX_RECORD(iTask, BaseObject)
QMV_INDEX_RECORD(BasicProperties, BaseObject)
QMV_INDEX_RECORD(ParticleManager, BaseObject)
QMV_INDEX_RECORD(TaskManager, BaseObject)
QMV_INDEX_RECORD(CheatInfo, BaseObject)
QMV_INDEX_RECORD(CheatManager, BaseObject)
QMV_INDEX_RECORD(GameWindow, BaseObject)
QMV_INDEX_RECORD(iImageLoader, BaseObject)
QMV_INDEX_RECORD(ResourceObject, BaseObject)
QMV_INDEX_RECORD(SoundStream, BaseObject)
QMV_INDEX_RECORD(FontLayer, BaseObject)
QMV_INDEX_RECORD(Font, BaseObject)
QMV_INDEX_RECORD(ParticleVertexBuffer, BaseObject)
QMV_INDEX_RECORD(ParticleIndexBuffer, BaseObject)
QMV_INDEX_RECORD(ParticleImageData, BaseObject)
QMV_INDEX_RECORD(ParticleDevice, BaseObject)
QMV_INDEX_RECORD(VertexDeclarationD3D, BaseObject)
QMV_INDEX_RECORD(ImageData, BaseObject)
QMV_INDEX_RECORD(VertexBuffer, BaseObject)
QMV_INDEX_RECORD(IndexBuffer, BaseObject)
QMV_INDEX_RECORD(StyleFormat, BaseObject)

// Managers that listen to messages (the sound manager's record names no task).
QMV_INDEX_RECORD(SoundManager, BaseObject, iMessageListener)
QMV_INDEX_RECORD(SettingsManager, BaseObject, iMessageListener)
QMV_INDEX_RECORD(Renderer, BaseObject, iMessageListener)
QMV_INDEX_RECORD(Graphics, BaseObject, GraphicsSettings)

// Nodes and sprites.
QMV_INDEX_RECORD(GameTree, GameNode)
QMV_INDEX_RECORD(Sound, GameNode)
QMV_INDEX_RECORD(SoundNode, GameNode)
QMV_INDEX_RECORD(Sprite, GameNode, iRenderable, GraphicsSettings, iClippable)
QMV_INDEX_RECORD(Anagram, Sprite)
QMV_INDEX_RECORD(AnagramTable, Sprite)
QMV_INDEX_RECORD(ClickableSprite, Sprite)
QMV_INDEX_RECORD(CrosswordTable, Sprite)
QMV_INDEX_RECORD(LetterBall, Sprite)
QMV_INDEX_RECORD(LetterBox, Sprite)
QMV_INDEX_RECORD(LabelStyle, Sprite)
QMV_INDEX_RECORD(Label, Sprite)
QMV_INDEX_RECORD(ToolTipLabel, Label)
QMV_INDEX_RECORD(LabelInput, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Slider, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Button, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Switch, Button)
QMV_INDEX_RECORD(ButtonURL, Button)

// Dialogs and scenes.
QMV_INDEX_RECORD(Dialog, Sprite, iInputListener)
QMV_INDEX_RECORD(DialogQuorvel2, Dialog)
QMV_INDEX_RECORD(Scene, Dialog)
QMV_INDEX_RECORD(DialogCongrats, DialogQuorvel2)
QMV_INDEX_RECORD(DialogCredits, DialogQuorvel2)
QMV_INDEX_RECORD(DialogEndGame, DialogQuorvel2)
QMV_INDEX_RECORD(DialogHelp, DialogQuorvel2)
QMV_INDEX_RECORD(DialogHighScore, DialogQuorvel2)
QMV_INDEX_RECORD(DialogMenu, DialogQuorvel2)
QMV_INDEX_RECORD(DialogNameInput, DialogQuorvel2)
QMV_INDEX_RECORD(DialogNextRound, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPassRound, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPause, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPlayerSelect, DialogQuorvel2)
QMV_INDEX_RECORD(DialogYesNo, DialogQuorvel2)
QMV_INDEX_RECORD(DialogSettings, DialogQuorvel2)
QMV_INDEX_RECORD(DialogTutorial, DialogQuorvel2)
QMV_INDEX_RECORD(SceneSplash, Scene)
QMV_INDEX_RECORD(Quorvel2Scene, Scene)
QMV_INDEX_RECORD(SceneTransition, Scene)
QMV_INDEX_RECORD(GameScene, Quorvel2Scene)
QMV_INDEX_RECORD(LoadScene, Quorvel2Scene)
QMV_INDEX_RECORD(SelectionScene, Quorvel2Scene)
QMV_INDEX_RECORD(TrophyScene, Quorvel2Scene)
QMV_INDEX_RECORD(BlitzScene, GameScene)
QMV_INDEX_RECORD(CrisscrossScene, GameScene)
QMV_INDEX_RECORD(SceneTransitionAlpha, SceneTransition)
QMV_INDEX_RECORD(SceneTransitionFadeBlack, SceneTransition)

// Modifiers.
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
QMV_INDEX_RECORD(ModifierLetterballContainer, ModifierContainer)
QMV_INDEX_RECORD(AnimTree, ModifierContainer)

// Tasks (the input handler's record names no message listener).
QMV_INDEX_RECORD(SceneManager, iTask)
QMV_INDEX_RECORD(InputHandler, iTask)
QMV_INDEX_RECORD(ImageManager, iTask)
QMV_INDEX_RECORD(TaskTickUpdate, iTask)
QMV_INDEX_RECORD(TaskPurge, iTask)
QMV_INDEX_RECORD(TaskRender, iTask)
QMV_INDEX_RECORD(Tooltip, iTask, iInputListener)
QMV_INDEX_RECORD(TaskmanagerTimed, TaskManager)

// Message payloads: two distinct records share the name TemplateMessageData.
inline constexpr ClassType TemplateMessageDataBool{"TemplateMessageData", RecordBases<MessageData>};
inline constexpr ClassType TemplateMessageDataStrings{"TemplateMessageData", RecordBases<MessageData>};
QMV_INDEX_RECORD(MouseMessageData, MessageData)
QMV_INDEX_RECORD(KeyboardMessageData, MessageData)
QMV_INDEX_RECORD(ScrollMessageData, MessageData)

// Resources.
QMV_INDEX_RECORD(ResourceImage, ResourceObject)
QMV_INDEX_RECORD(ResourceSound, ResourceObject)
QMV_INDEX_RECORD(ResourceStream, ResourceObject)
QMV_INDEX_RECORD(ResourceFont, ResourceObject)
QMV_INDEX_RECORD(Mask, ResourceObject)
QMV_INDEX_RECORD(ResourceManagerWin32, ResourceManager)

// Game-side specialisations.
QMV_INDEX_RECORD(Quorvel2GameSettings, GameSettings)
QMV_INDEX_RECORD(Quorvel2ScoreEntry, HighScoreEntry)
QMV_INDEX_RECORD(Quorvel2Player, AbstractPlayer)
QMV_INDEX_RECORD(DialogPainter, AbstractPainter)
QMV_INDEX_RECORD(GameWindowWin32, GameWindow)
QMV_INDEX_RECORD(RendererD3D, Renderer)
QMV_INDEX_RECORD(FontBitmap, Font)

// Text formats.
QMV_INDEX_RECORD(FormatNewLine, StyleFormat)
QMV_INDEX_RECORD(FormatColor, StyleFormat)
QMV_INDEX_RECORD(FormatFont, StyleFormat)
QMV_INDEX_RECORD(FormatImage, StyleFormat)
QMV_INDEX_RECORD(FormatWrapStyle, StyleFormat)
QMV_INDEX_RECORD(FormatAlignV, StyleFormat)
QMV_INDEX_RECORD(FormatAlignH, StyleFormat)
QMV_INDEX_RECORD(FormatTab, StyleFormat)
QMV_INDEX_RECORD(FormatWidth, StyleFormat)

// Device resources.
QMV_INDEX_RECORD(BufferD3D, iRenderTarget)
QMV_INDEX_RECORD(ImageDataD3D, ImageData)
QMV_INDEX_RECORD(ImageDataBufferD3D, BufferD3D, ImageDataD3D)
QMV_INDEX_RECORD(VertexBufferD3D, VertexBuffer)
QMV_INDEX_RECORD(IndexBufferD3D, IndexBuffer)

#undef QMV_INDEX_RECORD

// Every record above, in the order listed.
const ClassType* const* AllRecords() noexcept;
std::int32_t RecordCount() noexcept;
// The first record of that name (case-sensitive), or null.
const ClassType* FindRecord(std::string_view name) noexcept;

}  // namespace ClassIndex
}  // namespace Qmv2

// Binds a class to its record in the class index and answers it from GetType.
#define QMV_INDEXED_TYPE(Name)                                                        \
public:                                                                               \
    static constexpr const ::Qmv2::ClassType& s_Type = ::Qmv2::ClassIndex::Name;      \
    const ::Qmv2::ClassType* GetType() const override { return &s_Type; }

// The same for a class that declares GetType itself (an interface root).
#define QMV_INDEXED_RECORD(Name)                                                      \
public:                                                                               \
    static constexpr const ::Qmv2::ClassType& s_Type = ::Qmv2::ClassIndex::Name;
