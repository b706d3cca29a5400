// The program's catalog texts (built-in English) and character classes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

// Message ids of the program catalog.
constexpr int kMsgDone = 95;
constexpr int kMsgLoadingAnimation = 98;
constexpr int kMsgPreparingDisplay = 99;
constexpr int kMsgLoadingBGPic = 100;
constexpr int kMsgLoadingBrush = 101;
constexpr int kMsgCannotOpenFontSize = 116;
constexpr int kMsgLoadingSprite = 262;
constexpr int kMsgSelectDisplayMode = 288;
constexpr int kMsgDisplayModeChoices = 289;
constexpr int kMsgAndAction = 372;
constexpr int kMsgOpeningFont = 410;
// Texts whose catalog numbers are not known keep ids of our own, above the catalog's range.
constexpr int kMsgLoadingSample = 9001;
constexpr int kMsgLoadingMusic = 9002;
constexpr int kMsgOpeningFile = 9003;

// The text of a message: the program catalog's when it has one, else the built-in English; "" for an unknown id
// (never null).
const char *GetCatalogMessage(int id);

// ---- The program's catalog ------------------------------------------------------------------------------------
// "Vistaloom/Vistaloom.catalog" under <root>/catalogs/<language>/ (then Catalogs/) for each of the user's
// languages (CatalogLanguages) and each root, the first found decides. The roots: the player's own directory,
// then /usr/local/share/vistaloom and /usr/share/vistaloom.
std::vector<std::string> ProgramCatalogRoots();
// Closes an open program catalog first; 1 when one was opened, 0 when the built-in texts serve.
int OpenProgramCatalog(const std::vector<std::string> &roots);
void CloseProgramCatalog();

// Non-zero when the character (a byte of the system's Latin-1 character set) is printable and not a blank.
int IsGraphicChar(int c);

// ---- The script's catalog -------------------------------------------------------------------------------------
// One catalog at a time, found as PROGDIR:catalogs/<language>/<name> (then PROGDIR:Catalogs/...) for each of
// the user's languages. English, or no catalog, leaves the script's own default texts in place.

struct ScriptCatalog {
    int32_t version = 0;                              // from FVER; 0 without one
    std::vector<std::pair<uint32_t, std::string>> texts; // in file order; lookups take the first of an id
};

// Reads a FORM CTLG (only STRS is required); false for a malformed file.
bool ParseScriptCatalog(std::span<const uint8_t> bytes, ScriptCatalog *out);
// The directory names to try, most wanted first, from LANGUAGE, LC_ALL, LC_MESSAGES and LANG: each language as
// the system's name ("deutsch"), then as its code ("de"). Empty when the user wants English.
std::vector<std::string> CatalogLanguages();
// Closes an open catalog first. Version 0 takes any catalog, another must equal the catalog's. 1 when a catalog
// was opened, 0 when the defaults serve (none found, wrong version, malformed).
int OpenScriptCatalog(const char *name, int32_t version);
void CloseScriptCatalog();
// The text of id in the open catalog, else defaultText.
const char *GetScriptCatalogString(uint32_t id, const char *defaultText);
