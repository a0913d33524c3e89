#include "tools/contentcheck/ContentCheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/core/files/FilePath.h"
#include "framework/core/properties/PropertyStore.h"
#include "sound/include/osnd.h"

namespace contentcheck {

namespace fs = std::filesystem;
using Qmv2::AbstractProperty;
using Qmv2::PropertyNode;
using Qmv2::PropertyStore;
using Qmv2::SmartPtr;

namespace {

// The words of a key list's line, without its comment.
std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// Width and height from a PNG file's header; false when it is no PNG.
bool PngSize(const fs::path& path, int& width, int& height)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
        return false;
    }
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!std::equal(kSignature, kSignature + 8, header) || std::string(header + 12, header + 16) != "IHDR") {
        return false;
    }
    auto word = [&](int at) {
        return int((unsigned(header[at]) << 24) | (unsigned(header[at + 1]) << 16) | (unsigned(header[at + 2]) << 8) |
                   unsigned(header[at + 3]));
    };
    width = word(16);
    height = word(20);
    return true;
}

// A property file read from the working directory, or null.
SmartPtr<PropertyStore> LoadStore(const std::string& file)
{
    SmartPtr<PropertyStore> store(new PropertyStore(file));
    store->SetLoadFlags(0);
    if (!store->CanLoad(file) || !store->Load()) {
        return SmartPtr<PropertyStore>();
    }
    return store;
}

int IntegerKey(PropertyNode* node, const char* key)
{
    return node->GetValue(key)->GetInt();
}

std::string Join(const std::string& folder, const std::string& file)
{
    return folder.empty() || folder == file ? file : folder + "/" + file;
}

// The node of that name anywhere below `node`, through nodes and vectors.
bool HasDescendant(AbstractProperty* property, const std::string& name)
{
    std::vector<AbstractProperty*> children;
    if (property->IsNode()) {
        for (const auto& child : static_cast<PropertyNode*>(property)->GetChildren()) {
            children.push_back(child.Get());
        }
    } else if (property->IsVector()) {
        for (const auto& item : static_cast<Qmv2::PropertyVector*>(property)->GetItems()) {
            children.push_back(item.Get());
        }
    }
    for (AbstractProperty* child : children) {
        // A component is named by its id or, as the scenes' components are,
        // by its "name" value.
        const bool named = child->IsNode() && (child->GetName() == name ||
                                               static_cast<PropertyNode*>(child)->GetString("name") == name);
        if (named || HasDescendant(child, name)) {
            return true;
        }
    }
    return false;
}

const std::set<std::string> kValueKinds = {"string", "integer", "float", "double", "boolean", "vector", "setup"};
const std::set<std::string> kResourceKinds = {"sound", "stream", "image", "font", "mask"};
const std::set<std::string> kDefinitionKinds = {"scene", "dialog", "blueprint"};

std::string TypeWordOf(const std::string& kind)
{
    if (kind == "setup") {
        return "Node";
    }
    std::string word = kind;
    word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
    return word;
}

}  // namespace

ContentCheck::ContentCheck(std::string runFolder, std::vector<std::string> keyLists)
    : m_RunFolder(fs::absolute(runFolder).lexically_normal().string()), m_KeyLists(std::move(keyLists))
{
}

void ContentCheck::Problem(std::string text)
{
    m_Problems.push_back(std::move(text));
}

void ContentCheck::Use(const std::string& path)
{
    m_Used.insert(Qmv2::NormalisePath(path));
}

bool ContentCheck::Exists(const std::string& path) const
{
    std::error_code error;
    return fs::is_regular_file(fs::path(m_RunFolder) / path, error);
}

std::vector<std::string> ContentCheck::Run()
{
    m_Problems.clear();
    m_Used.clear();
    m_Values.clear();
    m_Definitions.clear();
    m_Sections.clear();
    ReadKeyLists();
    // Property files name their files relative to the run folder, which is the
    // game's working directory.
    const fs::path previous = fs::current_path();
    std::error_code error;
    fs::current_path(m_RunFolder, error);
    if (error) {
        Problem("the run folder " + m_RunFolder + " cannot be entered");
        return m_Problems;
    }
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
    const bool engine = OSND_Init(44100, 8, 0);
    if (!engine) {
        Problem("the sound engine does not start, so no sound is checked");
    }
    ReadManifest();
    CheckKeys();
    for (const auto& [name, definition] : m_Definitions) {
        CheckReferences(name.substr(0, name.find(' ')), definition.Get());
    }
    for (const auto& [section, resources] : m_Sections) {
        for (const auto& [name, resource] : resources) {
            CheckResource(section, name, resource);
        }
    }
    CheckUnusedFiles();
    if (engine) {
        OSND_Close();
    }
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
    fs::current_path(previous, error);
    return m_Problems;
}

void ContentCheck::ReadKeyLists()
{
    m_Keys.clear();
    m_DeclaredNames.clear();
    for (const std::string& list : m_KeyLists) {
        std::ifstream in(list);
        if (!in) {
            Problem("the key list " + list + " cannot be read");
            continue;
        }
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            std::vector<std::string> words = Words(line);
            if (words.empty()) {
                continue;
            }
            const std::string& kind = words[0];
            const std::size_t expected = kResourceKinds.count(kind) || kind == "component" ? 3 : 2;
            const bool known = kValueKinds.count(kind) || kResourceKinds.count(kind) || kDefinitionKinds.count(kind) ||
                               kind == "section" || kind == "component" || kind == "file";
            if (!known || words.size() != expected) {
                Problem(list + ":" + std::to_string(number) + ": not a key line: " + line);
                continue;
            }
            m_DeclaredNames.insert(words.back());
            m_Keys.push_back(std::move(words));
        }
    }
}

void ContentCheck::ReadManifest()
{
    const std::string manifest = "properties/application.xml";
    SmartPtr<PropertyStore> store = LoadStore(manifest);
    if (!store) {
        Problem("the manifest " + manifest + " is missing or does not parse");
        return;
    }
    Use(manifest);
    for (const auto& entry : store->GetVector("commands")->GetItems()) {
        PropertyNode* command = PropertyNode::AsNode(entry.Get());
        const std::string name = command->GetString("name");
        if (name == "filearchive") {
            // The archive the command mounts is used as a whole.
            const std::string archive = command->GetString("file").empty() ? "data.dat" : command->GetString("file");
            if (Exists(archive)) {
                Use(archive);
            }
            continue;
        }
        if (name != "datamanager" && name != "resourcemanager") {
            continue;
        }
        for (const auto& item : command->GetVector("files")->GetItems()) {
            PropertyNode* file = PropertyNode::AsNode(item.Get());
            if (file->GetValue("onlyeditor")->GetBool()) {
                continue;
            }
            const std::string path = file->GetString("file");
            if (name == "datamanager") {
                ReadDataFile(path);
            } else {
                ReadResourceFile(path);
            }
        }
        for (const char* list : {"preloadsections", "loadsections"}) {
            for (const auto& item : command->GetVector(list)->GetItems()) {
                const std::string section = PropertyNode::AsNode(item.Get())->GetString("section");
                m_Keys.push_back({"section", section});
            }
        }
    }
}

void ContentCheck::ReadDataFile(const std::string& file)
{
    Use(file);
    SmartPtr<PropertyStore> store = LoadStore(file);
    if (!store) {
        Problem("the data file " + file + " is missing or does not parse");
        return;
    }
    auto values = [&](PropertyNode* node) {
        for (AbstractProperty* child : node->GetNamedChildren()) {
            m_Values[child->GetName()] = child->GetTypeWord();
        }
    };
    for (AbstractProperty* child : store->GetNamedChildren()) {
        const std::string& name = child->GetName();
        if (child->IsNode() && (name == "setups" || name == "properties")) {
            values(static_cast<PropertyNode*>(child));
        } else if (child->IsNode() && (name == "scenes" || name == "dialogs" || name == "blueprints")) {
            const std::string kind = name.substr(0, name.size() - 1);
            for (AbstractProperty* definition : static_cast<PropertyNode*>(child)->GetNamedChildren()) {
                m_Definitions[kind + " " + definition->GetName()] = SmartPtr<PropertyNode>(PropertyNode::AsNode(definition));
            }
        } else {
            m_Values[name] = child->GetTypeWord();
        }
    }
}

void ContentCheck::ReadResourceFile(const std::string& file)
{
    Use(file);
    SmartPtr<PropertyStore> store = LoadStore(file);
    if (!store) {
        Problem("the resource file " + file + " is missing or does not parse");
        return;
    }
    AbstractProperty* sections = store->GetChild("Sections");
    if (sections == nullptr || !sections->IsVector()) {
        Problem("the resource file " + file + " has no Sections list");
        return;
    }
    for (const auto& item : static_cast<Qmv2::PropertyVector*>(sections)->GetItems()) {
        PropertyNode* section = PropertyNode::AsNode(item.Get());
        const std::string sectionName = section->GetString("name");
        if (sectionName.empty()) {
            Problem("the resource file " + file + " has a section without a name");
            continue;
        }
        auto& resources = m_Sections[sectionName];
        for (const auto& child : section->GetChildren()) {
            if (!child->IsNode()) {
                continue;
            }
            auto* node = static_cast<PropertyNode*>(child.Get());
            Resource resource;
            resource.kind = node->GetTypeWord();
            resource.file = Qmv2::NormaliseResourceName(node->GetString("file"));
            resource.mask = Qmv2::NormaliseResourceName(node->GetString("mask"));
            if (node->HasChild("columncount")) {
                resource.columnCount = resource.frameCount = IntegerKey(node, "columncount");
            }
            if (node->HasChild("framecount")) {
                resource.frameCount = IntegerKey(node, "framecount");
                if (node->HasChild("rowcount") && IntegerKey(node, "rowcount") > 0) {
                    const int rows = IntegerKey(node, "rowcount");
                    resource.columnCount = (resource.frameCount + rows - 1) / rows;
                }
            } else if (node->HasChild("rowcount")) {
                resource.frameCount = resource.columnCount * IntegerKey(node, "rowcount");
            }
            if (resources.count(node->GetName())) {
                Problem("section " + sectionName + " names " + node->GetName() + " twice");
            }
            resources[node->GetName()] = resource;
        }
    }
}

void ContentCheck::CheckKeys()
{
    for (const std::vector<std::string>& key : m_Keys) {
        const std::string& kind = key[0];
        if (kValueKinds.count(kind)) {
            const std::string& name = key[1];
            auto found = m_Values.find(name);
            if (found == m_Values.end() && kind == "string") {
                found = m_Values.find(name + "_WIN");
            }
            if (found == m_Values.end()) {
                Problem("the " + kind + " " + name + " is missing from the data files");
            } else if (found->second != TypeWordOf(kind)) {
                Problem(name + " is a " + found->second + ", not a " + TypeWordOf(kind));
            }
        } else if (kResourceKinds.count(kind)) {
            const std::string &section = key[1], &name = key[2];
            auto found = m_Sections.find(section);
            if (found == m_Sections.end()) {
                Problem("the resource section " + section + " of " + name + " is missing");
            } else if (!found->second.count(name)) {
                Problem("the " + kind + " " + name + " is missing from section " + section);
            } else if (found->second.at(name).kind != TypeWordOf(kind)) {
                Problem(name + " in section " + section + " is a " + found->second.at(name).kind + ", not a " +
                        TypeWordOf(kind));
            }
        } else if (kind == "section") {
            if (!m_Sections.count(key[1])) {
                Problem("the resource section " + key[1] + " is missing");
            }
        } else if (kDefinitionKinds.count(kind)) {
            if (!m_Definitions.count(kind + " " + key[1])) {
                Problem("the " + kind + " " + key[1] + " is missing from the data files");
            }
        } else if (kind == "component") {
            auto scene = m_Definitions.find("scene " + key[1]);
            if (scene == m_Definitions.end()) {
                scene = m_Definitions.find("dialog " + key[1]);
            }
            if (scene == m_Definitions.end()) {
                Problem("the scene or dialog " + key[1] + " of component " + key[2] + " is missing");
            } else if (!HasDescendant(scene->second.Get(), key[2])) {
                Problem("the component " + key[2] + " is missing from " + key[1]);
            }
        } else if (kind == "file") {
            if (!Exists(key[1])) {
                Problem("the file " + key[1] + " is missing");
                continue;
            }
            Use(key[1]);
            // A font description read by file name brings its layer sheets.
            if (Qmv2::GetFileExtension(key[1]) == "xml") {
                SmartPtr<PropertyStore> store = LoadStore(key[1]);
                if (store && store->HasChild("layers")) {
                    CheckFont("the font file " + key[1], key[1]);
                }
            }
        }
    }
}

void ContentCheck::CheckReferences(const std::string& where, AbstractProperty* property)
{
    std::vector<AbstractProperty*> children;
    if (property->IsVector()) {
        for (const auto& item : static_cast<Qmv2::PropertyVector*>(property)->GetItems()) {
            children.push_back(item.Get());
        }
    } else if (property->IsNode()) {
        auto* node = static_cast<PropertyNode*>(property);
        const std::string path = where + "/" + node->GetName();
        auto value = [&](const char* key) {
            AbstractProperty* child = node->GetChild(key);
            return child != nullptr && child->IsValue();
        };
        // The keys by which scenes, dialogs and their components name
        // resources and texts when they are built.
        const std::string section = node->GetString("section");
        auto resource = [&](const char* key, const std::string& kind) {
            const std::string name = node->GetString(key);
            auto found = m_Sections.find(section);
            if (found == m_Sections.end() || !found->second.count(name)) {
                Problem(path + " reads the " + key + " " + name + " of section " + section + ", which is missing");
            } else if (found->second.at(name).kind != kind) {
                Problem(path + " reads " + name + " of section " + section + " as a " + kind + ", but it is a " +
                        found->second.at(name).kind);
            }
        };
        if (value("image") && value("section")) {
            resource("image", "Image");
        }
        if (value("background") && value("section")) {
            resource("background", "Image");
        }
        if (value("font") && value("section")) {
            resource("font", "Font");
        }
        for (const char* key : {"textid", "tooltip"}) {
            if (value(key)) {
                const std::string name = node->GetString(key);
                auto found = m_Values.find(name);
                if (found == m_Values.end()) {
                    found = m_Values.find(name + "_WIN");
                }
                if (found == m_Values.end() || found->second != "String") {
                    Problem(path + " reads the string " + name + ", which is missing");
                }
            }
        }
        for (const auto& child : node->GetChildren()) {
            children.push_back(child.Get());
        }
        for (AbstractProperty* child : children) {
            CheckReferences(path, child);
        }
        return;
    }
    for (AbstractProperty* child : children) {
        CheckReferences(where, child);
    }
}

void ContentCheck::CheckResource(const std::string& section, const std::string& name, const Resource& resource)
{
    const std::string where = name + " (section " + section + ")";
    if (resource.kind == "Image" || resource.kind == "Mask") {
        CheckImage(where, resource);
        return;
    }
    if (resource.file.empty()) {
        Problem(where + " names no file");
        return;
    }
    if (!Exists(resource.file)) {
        Problem(where + ": its file " + resource.file + " is missing");
        return;
    }
    Use(resource.file);
    if (resource.kind == "Sound" || resource.kind == "Stream") {
        CheckSound(where, resource.file, resource.kind == "Stream");
    } else if (resource.kind == "Font") {
        CheckFont(where, resource.file);
    } else {
        Problem(where + " is of the unknown kind " + resource.kind);
    }
}

void ContentCheck::CheckImage(const std::string& where, const Resource& resource)
{
    if (resource.file.empty() && resource.mask.empty()) {
        Problem(where + " names no file");
        return;
    }
    if (Qmv2::GetFileExtension(resource.file) == "xml") {
        if (!Exists(resource.file)) {
            Problem(where + ": its description " + resource.file + " is missing");
            return;
        }
        Use(resource.file);
        CheckImageDescription(where, resource.file);
        return;
    }
    for (const std::string& file : {resource.file, resource.mask}) {
        if (file.empty()) {
            continue;
        }
        int width = 0, height = 0;
        if (!Exists(file)) {
            Problem(where + ": its file " + file + " is missing");
            continue;
        }
        Use(file);
        if (!PngSize(fs::path(m_RunFolder) / file, width, height)) {
            Problem(where + ": " + file + " is not a PNG image");
            continue;
        }
        const int columns = std::max(1, resource.columnCount);
        const int rows = (std::max(1, resource.frameCount) + columns - 1) / columns;
        if (width % columns != 0 || height % rows != 0) {
            Problem(where + ": " + file + " (" + std::to_string(width) + "x" + std::to_string(height) +
                    ") does not divide into " + std::to_string(columns) + " columns and " + std::to_string(rows) +
                    " rows");
        }
        if (width > 1024 || height > 1024) {
            Problem(where + ": " + file + " is larger than 1024x1024");
        }
    }
}

void ContentCheck::CheckImageDescription(const std::string& where, const std::string& file)
{
    SmartPtr<PropertyStore> store = LoadStore(file);
    PropertyNode* image = store ? store->GetNode("image") : PropertyNode::GetEmpty();
    if (image == PropertyNode::GetEmpty()) {
        Problem(where + ": the description " + file + " has no image node");
        return;
    }
    const std::string folder = Qmv2::GetPathDirectory(file);
    const std::string sheet = Qmv2::NormaliseResourceName(Join(folder, image->GetString("file")));
    int width = 0, height = 0;
    if (!Exists(sheet) || !PngSize(fs::path(m_RunFolder) / sheet, width, height)) {
        Problem(where + ": the sheet " + sheet + " of " + file + " is missing or not a PNG image");
        return;
    }
    Use(sheet);
    if (width > 1024 || height > 1024) {
        Problem(where + ": the sheet " + sheet + " is larger than 1024x1024");
    }
    // Every rectangle the description cuts must lie inside the sheet.
    std::vector<PropertyNode*> images;
    if (image->HasChild("images")) {
        for (const auto& item : image->GetVector("images")->GetItems()) {
            images.push_back(PropertyNode::AsNode(item.Get()));
        }
    } else {
        images.push_back(image);
    }
    auto inside = [&](PropertyNode* node, const std::string& what) {
        int x = IntegerKey(node, "x"), y = IntegerKey(node, "y");
        int w = IntegerKey(node, "width"), h = IntegerKey(node, "height");
        if (node->HasChild("minx")) x = w >= 0 ? IntegerKey(node, "minx") : IntegerKey(node, "minx") - w;
        if (node->HasChild("miny")) y = h >= 0 ? IntegerKey(node, "miny") : IntegerKey(node, "miny") - h;
        if (node->HasChild("maxx")) x = w >= 0 ? IntegerKey(node, "maxx") - w : IntegerKey(node, "maxx");
        if (node->HasChild("maxy")) y = h >= 0 ? IntegerKey(node, "maxy") - h : IntegerKey(node, "maxy");
        const int left = std::min(x, x + w), right = std::max(x, x + w);
        const int top = std::min(y, y + h), bottom = std::max(y, y + h);
        if (w == 0 || h == 0 || left < 0 || top < 0 || right > width || bottom > height) {
            Problem(where + ": " + what + " of " + file + " (" + std::to_string(x) + ", " + std::to_string(y) + ", " +
                    std::to_string(w) + ", " + std::to_string(h) + ") is not inside its " + std::to_string(width) +
                    "x" + std::to_string(height) + " sheet");
        }
    };
    for (PropertyNode* node : images) {
        const std::string name = node == image ? "the image" : "image " + node->GetString("name");
        if (node->HasChild("frames")) {
            int index = 0;
            for (const auto& frame : node->GetVector("frames")->GetItems()) {
                inside(PropertyNode::AsNode(frame.Get()), name + " frame " + std::to_string(index++));
            }
        } else {
            inside(node, name);
        }
    }
}

void ContentCheck::CheckFont(const std::string& where, const std::string& file)
{
    SmartPtr<PropertyStore> store = LoadStore(file);
    if (!store) {
        Problem(where + ": the font " + file + " does not parse");
        return;
    }
    const std::string folder = Qmv2::GetPathDirectory(file);
    PropertyNode* font = store->GetNode("font");
    Qmv2::PropertyVector* layers = store->GetVector("layers");
    if (layers->GetCount() == 0) {
        Problem(where + ": the font " + file + " has no layers");
    }
    for (const auto& item : layers->GetItems()) {
        PropertyNode* layer = PropertyNode::AsNode(item.Get());
        const std::string name = layer->HasChild("mask") ? layer->GetString("mask") : layer->GetString("image");
        const std::string sheet = Qmv2::NormaliseResourceName(Join(folder, name));
        int width = 0, height = 0;
        if (!Exists(sheet) || !PngSize(fs::path(m_RunFolder) / sheet, width, height)) {
            Problem(where + ": the layer " + sheet + " of " + file + " is missing or not a PNG image");
            continue;
        }
        Use(sheet);
        // Each glyph's padded cell must lie inside the layer's sheet.
        const float padding = layer->GetValue("padding")->GetFloat();
        for (const auto& glyph : font->GetVector("chars")->GetItems()) {
            PropertyNode* g = PropertyNode::AsNode(glyph.Get());
            auto value = [&](const char* key) { return g->GetValue(key)->GetFloat(); };
            const float right = value("sx") + 2 * padding * value("ix") + value("sw") + 2 * padding;
            const float bottom = value("sy") + 2 * padding * value("iy") + value("sh") + 2 * padding;
            if (right > float(width) || bottom > float(height)) {
                Problem(where + ": the glyph " + g->GetString("c") + " lies outside the layer " + sheet);
                break;
            }
        }
    }
}

void ContentCheck::CheckSound(const std::string& where, const std::string& file, bool stream)
{
    if (stream) {
        OSND_STREAM* opened = OSND_Stream_Open(file.c_str(), 0, 0, 0);
        if (opened == nullptr) {
            Problem(where + ": the sound engine cannot open " + file + " as a stream (error " +
                    std::to_string(OSND_GetError()) + ")");
            return;
        }
        OSND_Stream_Close(opened);
    }
    // Loading as a sample decodes the whole file.
    OSND_SAMPLE* sample = OSND_Sample_Load(OSND_FREE, file.c_str(), 0, 0, 0);
    if (sample == nullptr) {
        Problem(where + ": the sound engine cannot decode " + file + " (error " + std::to_string(OSND_GetError()) + ")");
        return;
    }
    if (OSND_Sample_GetLength(sample) <= 0) {
        Problem(where + ": " + file + " holds no sound");
    }
    OSND_Sample_Free(sample);
}

void ContentCheck::CheckUnusedFiles()
{
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_RunFolder, error); !error && it != fs::end(it); it.increment(error)) {
        if (!it->is_regular_file()) {
            continue;
        }
        // The program itself is no content.
        if (access(it->path().c_str(), X_OK) == 0) {
            continue;
        }
        const std::string relative = fs::relative(it->path(), m_RunFolder).generic_string();
        if (!m_Used.count(relative)) {
            Problem("the file " + relative + " is shipped but nothing uses it");
        }
    }
}

std::vector<std::string> ContentCheck::UndeclaredNames(const std::string& sourceFolder)
{
    ReadKeyLists();
    static const std::regex kName("\"((SOUND|MUSIC|IMAGE|FONT)_[A-Za-z0-9_-]+)\"");
    std::set<std::string> undeclared;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(sourceFolder, error); !error && it != fs::end(it); it.increment(error)) {
        const std::string extension = it->path().extension().string();
        if (!it->is_regular_file() || (extension != ".cpp" && extension != ".h")) {
            continue;
        }
        std::ifstream in(it->path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::sregex_iterator m(text.begin(), text.end(), kName), end; m != end; ++m) {
            const std::string name = (*m)[1].str();
            // A name the code numbers ("IMAGE_TROPHY" + n) is declared by
            // its numbered members.
            auto next = m_DeclaredNames.upper_bound(name);
            const bool family = next != m_DeclaredNames.end() && next->size() > name.size() &&
                                next->compare(0, name.size(), name) == 0 &&
                                std::isdigit(static_cast<unsigned char>((*next)[name.size()])) != 0;
            if (!m_DeclaredNames.count(name) && !family) {
                undeclared.insert((*m)[1].str() + " (" + fs::relative(it->path(), sourceFolder).generic_string() + ")");
            }
        }
    }
    return {undeclared.begin(), undeclared.end()};
}

}  // namespace contentcheck
