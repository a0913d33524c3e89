// datapack FOLDER ARCHIVE
// Packs every regular file under FOLDER into the ZIP data archive ARCHIVE,
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

bool Pack(const fs::path& folder, const fs::path& output)
{
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return Fail("not a folder: " + folder.string());
    }
    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) {
            names.push_back(fs::relative(it->path(), folder).generic_string());
        }
    }
    if (error) {
        return Fail("cannot list " + folder.string() + ": " + error.message());
    }
    std::sort(names.begin(), names.end());

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
    if (argc != 3) {
        std::fprintf(stderr, "usage: datapack FOLDER ARCHIVE\n");
        return 2;
    }
    return Pack(argv[1], argv[2]) ? 0 : 1;
}
