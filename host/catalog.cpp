#include "host/catalog.h"

#include "host/iff_chunks.h"
#include "host/path.h"
#include "host/virtual_file.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>

namespace {

struct CatalogText {
    int id;
    const char *text;
};

const CatalogText kBuiltinTexts[] = {
    {kMsgDone, "done"},
    {kMsgLoadingAnimation, "Loading animation %s"},
    {kMsgPreparingDisplay, "Preparing display"},
    {kMsgLoadingBGPic, "Loading background picture %s"},
    {kMsgLoadingBrush, "Loading brush %s"},
    {kMsgCannotOpenFontSize, "Cannot open font %s with size %ld!"},
    {kMsgLoadingSprite, "Loading sprite %s"},
    {kMsgSelectDisplayMode, "Please select desired display mode!"},
    {kMsgDisplayModeChoices, "Full screen (best fit)|Windowed|Full screen (manual select)"},
    {kMsgAndAction, "And Action!"},
    {kMsgOpeningFont, "Opening font %s"},
    {kMsgLoadingSample, "Loading sample %s"},
    {kMsgLoadingMusic, "Loading music %s"},
    {kMsgOpeningFile, "Opening file %s"},
};

ScriptCatalog *programCatalog = nullptr;

const char *FindCatalogText(const ScriptCatalog *catalog, uint32_t id) {
    if (catalog)
        for (const auto &[textId, text] : catalog->texts)
            if (textId == id) return text.c_str();
    return nullptr;
}

} // namespace

const char *GetCatalogMessage(int id) {
    if (id >= 0)
        if (const char *text = FindCatalogText(programCatalog, static_cast<uint32_t>(id))) return text;
    for (const CatalogText &entry : kBuiltinTexts)
        if (entry.id == id) return entry.text;
    return "";
}

int IsGraphicChar(int c) {
    c &= 0xFF;
    return (c > 0x20 && c < 0x7F) || c > 0xA0 ? 1 : 0;
}

// ---- The script's catalog -------------------------------------------------------------------------------------
namespace {

// Catalogs are small; anything larger is not one.
constexpr int64_t kMaxCatalogBytes = 16 << 20;

// Language codes and the system's names for them; the names are the catalog directories (UTF-8 on disk).
const struct {
    const char *code, *name;
} kLanguageNames[] = {
    {"cs", "čeština"}, {"da", "dansk"},     {"de", "deutsch"},    {"el", "ελληνικά"},  {"es", "español"},
    {"fi", "suomi"},   {"fr", "français"},  {"hu", "magyar"},     {"it", "italiano"},   {"nb", "norsk"},
    {"nl", "nederlands"}, {"no", "norsk"},  {"pl", "polski"},     {"pt", "português"}, {"ru", "russian"},
    {"sv", "svenska"}, {"tr", "türkçe"},
};

ScriptCatalog *openCatalog = nullptr;

// The catalog at path, or null when there is none or it is malformed.
std::unique_ptr<ScriptCatalog> ReadCatalogFile(const std::string &path, bool *found) {
    *found = false;
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileRead);
    if (!file) return nullptr;
    *found = true;
    std::vector<uint8_t> bytes;
    int read = ReadWholeVirtualFile(file, 12, kMaxCatalogBytes, bytes);
    CloseVirtualFile(file);
    auto catalog = std::make_unique<ScriptCatalog>();
    if (read != 0 || !ParseScriptCatalog(bytes, catalog.get())) return nullptr;
    return catalog;
}

// "$VER: name 2.1 (date)" gives 2; 0 when there is no number.
int32_t VersionOf(BoundedReader chunk) {
    std::string text(reinterpret_cast<const char *>(chunk.data), chunk.size);
    size_t at = text.find("$VER:");
    if (at == std::string::npos) return 0;
    at += 5;
    while (at < text.size() && text[at] == ' ') at++;
    while (at < text.size() && text[at] != ' ' && text[at] != '\0') at++; // the catalog's name
    while (at < text.size() && text[at] == ' ') at++;
    int32_t version = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && version < 100000000; at++)
        version = version * 10 + (text[at] - '0');
    return version;
}

bool ReadStrings(BoundedReader &chunk, ScriptCatalog *out) {
    while (!chunk.AtEnd()) {
        uint32_t id = chunk.U32BE();
        uint32_t length = chunk.U32BE(); // counts the terminating zero
        if (chunk.Failed() || length > chunk.remaining()) return false;
        const char *text = reinterpret_cast<const char *>(chunk.data + chunk.pos);
        size_t used = 0;
        while (used < length && text[used]) used++;
        out->texts.emplace_back(id, std::string(text, used));
        chunk.Skip(length + (4 - length % 4) % 4);
        if (chunk.Failed()) return false;
    }
    return true;
}

} // namespace

bool ParseScriptCatalog(std::span<const uint8_t> bytes, ScriptCatalog *out) {
    *out = ScriptCatalog{};
    std::span<const uint8_t> body;
    if (!ReadIffForm(bytes, IffId("CTLG"), &body)) return false;
    bool haveStrings = false;
    bool ok = WalkIffChunks(body, [&](uint32_t id, BoundedReader &chunk) {
        if (id == IffId("FVER")) out->version = VersionOf(chunk);
        if (id != IffId("STRS")) return true;
        haveStrings = true;
        return ReadStrings(chunk, out);
    });
    return ok && haveStrings;
}

std::vector<std::string> CatalogLanguages() {
    std::vector<std::string> out;
    for (const char *variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(variable);
        if (!value || !*value) continue;
        std::string list = value;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = std::min(list.find(':', start), list.size());
            std::string code = list.substr(start, end - start);
            start = end + 1;
            code = code.substr(0, code.find_first_of("_.@"));
            for (char &c : code) c = char(std::tolower(static_cast<unsigned char>(c)));
            if (code.empty()) continue;
            if (code == "en" || code == "c" || code == "posix") return out;
            auto add = [&](const std::string &name) {
                if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
            };
            for (const auto &language : kLanguageNames)
                if (code == language.code) add(language.name);
            add(code);
        }
    }
    return out;
}

int OpenScriptCatalog(const char *name, int32_t version) {
    CloseScriptCatalog();
    if (!name || !*name) return 0;
    for (const std::string &language : CatalogLanguages()) {
        for (const char *folder : {"PROGDIR:catalogs/", "PROGDIR:Catalogs/"}) {
            bool found;
            std::unique_ptr<ScriptCatalog> catalog = ReadCatalogFile(folder + language + "/" + name, &found);
            if (!found) continue;
            // The first catalog found decides: a bad or mismatched one means the defaults, not a search on.
            if (!catalog) return 0;
            if (version != 0 && version != catalog->version) return 0;
            openCatalog = catalog.release();
            return 1;
        }
    }
    return 0;
}

void CloseScriptCatalog() {
    delete openCatalog;
    openCatalog = nullptr;
}

const char *GetScriptCatalogString(uint32_t id, const char *defaultText) {
    const char *text = FindCatalogText(openCatalog, id);
    return text ? text : defaultText;
}

// ---- The program's catalog ------------------------------------------------------------------------------------

std::vector<std::string> ProgramCatalogRoots() {
    return {ExecutableDirectory(), "/usr/local/share/vistaloom", "/usr/share/vistaloom"};
}

int OpenProgramCatalog(const std::vector<std::string> &roots) {
    CloseProgramCatalog();
    for (const std::string &language : CatalogLanguages())
        for (const std::string &root : roots)
            for (const char *folder : {"/catalogs/", "/Catalogs/"}) {
                bool found;
                std::unique_ptr<ScriptCatalog> catalog =
                    ReadCatalogFile(root + folder + language + "/Vistaloom/Vistaloom.catalog", &found);
                if (!found) continue;
                // As with a script's catalog, the first one found decides; a malformed one means English.
                programCatalog = catalog.release();
                return programCatalog ? 1 : 0;
            }
    return 0;
}

void CloseProgramCatalog() {
    delete programCatalog;
    programCatalog = nullptr;
}
