// The content check: loads the run folder's manifest, data files and resource
// sections as the game does, and reports every key that code or data read
// (the key lists, and the resources and texts that scene, dialog and
// blueprint definitions name) but the content lacks (or holds as another kind), every image description
// that does not fit its sheet, every sound or music file the sound engine
// cannot decode, and every file of the run folder that nothing uses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"

namespace contentcheck {

class ContentCheck {
public:
    // `runFolder`: the game's working directory. `keyLists`: files of
    // required keys, one per line, "#" starting a comment:
    //   string|integer|float|double|boolean|vector|setup <name>
    //   sound|stream|image|font|mask <section> <name>
    //   section <name>          scene|dialog|blueprint <name>
    //   component <scene or dialog> <name>
    //   file <path below the run folder>
    ContentCheck(std::string runFolder, std::vector<std::string> keyLists);

    // Runs every check; the problems found, one sentence each, naming the key
    // or file. Empty when the content is whole.
    std::vector<std::string> Run();

    // Literal names ("SOUND_...", "MUSIC_...", "IMAGE_...", "FONT_...") in the
    // C++ sources under `sourceFolder` that no key list declares.
    std::vector<std::string> UndeclaredNames(const std::string& sourceFolder);

private:
    struct Resource {
        std::string kind;    // the type word: Sound, Stream, Image, Font, Mask
        std::string file;    // in resource-name form, relative to the run folder
        std::string mask;
        int frameCount = 1;
        int columnCount = 1;
    };

    void Problem(std::string text);
    void Use(const std::string& path);
    bool Exists(const std::string& path) const;
    void ReadKeyLists();
    void ReadManifest();
    void ReadDataFile(const std::string& file);
    void ReadResourceFile(const std::string& file);
    void CheckKeys();
    // The resources and texts that a definition's nodes name ("image",
    // "background", "font" with "section"; "textid", "tooltip").
    void CheckReferences(const std::string& where, Qmv2::AbstractProperty* property);
    void CheckResource(const std::string& section, const std::string& name, const Resource& resource);
    void CheckImage(const std::string& where, const Resource& resource);
    void CheckImageDescription(const std::string& where, const std::string& file);
    void CheckFont(const std::string& where, const std::string& file);
    void CheckSound(const std::string& where, const std::string& file, bool stream);
    void CheckUnusedFiles();

    std::string m_RunFolder;
    std::vector<std::string> m_KeyLists;
    std::vector<std::vector<std::string>> m_Keys;       // the declared keys, split into words
    std::set<std::string> m_DeclaredNames;
    std::map<std::string, std::string> m_Values;        // basic property name -> its type word
    std::map<std::string, Qmv2::SmartPtr<Qmv2::PropertyNode>> m_Definitions;  // "scene X", "dialog X", "blueprint X"
    std::map<std::string, std::map<std::string, Resource>> m_Sections;
    std::set<std::string> m_Used;
    std::vector<std::string> m_Problems;
};

}  // namespace contentcheck
