// datapack FOLDER ARCHIVE [PART...]
// Packs every regular file under FOLDER (or, with PARTs, under those files and
// folders of FOLDER) into the ZIP data archive ARCHIVE,
// named by its path relative to FOLDER with "/" separators, deflated, in
// name order and with a fixed date, so the same folder always gives the same
// bytes. The archive is written beside its final name and renamed into place
// only when complete.
#include <minizip/zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The archive reader cannot look up names this long.
constexpr std::size_t kMaxEntryName = 255;

bool Fail(const std::string& message)
{
    std::fprintf(stderr, "datapack: %s\n", message.c_str());
    return false;
}

bool ReadWhole(const fs::path& path, std::string& contents)
{
    std::ifstream in(path, std::ios::binary);
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && in.is_open();
}

bool AddEntry(zipFile archive, const std::string& name, const std::string& contents)
{
    zip_fileinfo info{};
    info.tmz_date.tm_year = 1980;
    info.tmz_date.tm_mday = 1;
    if (zipOpenNewFileInZip(archive, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9) != ZIP_OK) {
        return Fail("cannot add " + name);
    }
    const bool written = contents.empty()
                         || zipWriteInFileInZip(archive, contents.data(), static_cast<unsigned>(contents.size())) == ZIP_OK;
    return zipCloseFileInZip(archive) == ZIP_OK && written ? true : Fail("cannot write " + name);
}

// Adds the regular files at or under `part` to `names`, relative to `folder`.
bool List(const fs::path& folder, const fs::path& part, std::vector<std::string>& names)
{
    std::error_code error;
    if (fs::is_regular_file(part, error)) {
        names.push_back(part.lexically_relative(folder).generic_string());
        return true;
    }
    if (!fs::is_directory(part, error)) {
        return Fail("neither a file nor a folder: " + part.string());
    }
    for (fs::recursive_directory_iterator it(part, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) {
            names.push_back(it->path().lexically_relative(folder).generic_string());
        }
    }
    return !error || Fail("cannot list " + part.string() + ": " + error.message());
}

bool Pack(const fs::path& folder, const fs::path& output, const std::vector<std::string>& parts)
{
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return Fail("not a folder: " + folder.string());
    }
    std::vector<std::string> names;
    if (parts.empty()) {
        if (!List(folder, folder, names)) {
            return false;
        }
    }
    for (const std::string& part : parts) {
        if (!List(folder, folder / part, names)) {
            return false;
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());

    const fs::path temporary = output.string() + ".tmp";
    zipFile archive = zipOpen(temporary.c_str(), APPEND_STATUS_CREATE);
    if (archive == nullptr) {
        return Fail("cannot create " + temporary.string());
    }
    bool ok = true;
    for (const std::string& name : names) {
        std::string contents;
        ok = name.size() <= kMaxEntryName ? true : Fail("name too long: " + name);
        ok = ok && (ReadWhole(folder / name, contents) ? true : Fail("cannot read " + name));
        ok = ok && (contents.size() <= 0x7FFFFFFFu ? true : Fail("file too large: " + name));
        ok = ok && AddEntry(archive, name, contents);
        if (!ok) {
            break;
        }
    }
    ok = zipClose(archive, nullptr) == ZIP_OK && ok;
    if (ok) {
        fs::rename(temporary, output, error);
        ok = !error || Fail("cannot replace " + output.string());
    }
    if (!ok) {
        fs::remove(temporary, error);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: datapack FOLDER ARCHIVE [PART...]\n");
        return 2;
    }
    return Pack(argv[1], argv[2], std::vector<std::string>(argv + 3, argv + argc)) ? 0 : 1;
}
