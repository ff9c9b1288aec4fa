#include "zidarodadefs.h"

#include "sysutils.h"

#include <iterator>

namespace zj {

std::string JavaCompilerPath;
std::string BrowserExe;
bool ShowCompileWindow = false;

namespace {

// Everything the program knows about each kind, in the order of TDocType.
struct DocTypeEntry {
    const char* name;
    const char* description; // of the file-dialog filter
    // The extensions the kind is recognised by, without their dots and
    // separated by ";"; the filter's mask lists them. None: every file.
    std::string_view extensions;
    const char* defaultExt;
    TSyntax syntax;
};

constexpr DocTypeEntry DocTypeTable[] = {
    {"Java", "Java files (*.java)", "java", "java", TSyntax::Java},
    {"Html", "Html files (*.htm, *.html)", "htm;html", "html", TSyntax::Html},
    {"Text", "Text files (*.txt)", "txt", "txt", TSyntax::None},
    {"Other", "All files (*.*)", "", "", TSyntax::None},
};
constexpr int DocTypeCount = static_cast<int>(std::size(DocTypeTable));

template <class Visit>
void ForEachExtension(std::string_view extensions, Visit visit)
{
    while (!extensions.empty()) {
        const std::size_t end = extensions.find(';');
        visit(extensions.substr(0, end));
        extensions.remove_prefix(end == std::string_view::npos ? extensions.size() : end + 1);
    }
}

std::string FilterOf(const DocTypeEntry& entry)
{
    std::string mask;
    ForEachExtension(entry.extensions, [&mask](std::string_view ext) {
        mask += (mask.empty() ? "*." : ";*.") + std::string(ext);
    });
    return std::string(entry.description) + "|" + (mask.empty() ? "*.*" : mask);
}

} // namespace

TDocTypeList::TDocTypeList()
{
    InitDocTypes();
}

void TDocTypeList::InitDocTypes()
{
    Clear();
    for (const DocTypeEntry& entry : DocTypeTable)
        entries_.emplace_back(entry.name, std::make_unique<TDocFilter>(TDocFilter{FilterOf(entry), entry.defaultExt}));
}

void TDocTypeList::Clear()
{
    entries_.clear();
}

std::string TDocTypeList::GetDefaultExt(TDocType docType) const
{
    return docType < DocTypeCount ? DocTypeTable[docType].defaultExt : "";
}

TSyntax TDocTypeList::GetSyntax(TDocType docType) const
{
    return docType < DocTypeCount ? DocTypeTable[docType].syntax : TSyntax::None;
}

TDocType TDocTypeList::GetDocType(std::string_view ext) const
{
    if (!ext.empty() && ext.front() == '.')
        ext.remove_prefix(1);
    const std::string upper = UpperCaseAscii(ext);
    for (int kind = 0; kind < DocTypeCount; ++kind) {
        bool found = false;
        ForEachExtension(DocTypeTable[kind].extensions,
                         [&](std::string_view known) { found = found || UpperCaseAscii(known) == upper; });
        if (found)
            return static_cast<TDocType>(kind);
    }
    return dtOther;
}

std::string TDocTypeList::DialogFilter(TDocType first)
{
    std::string filter = FilterOf(DocTypeTable[first]);
    for (int kind = 0; kind < DocTypeCount; ++kind)
        if (kind != first)
            filter += "|" + FilterOf(DocTypeTable[kind]);
    return filter;
}

bool OpenAppKey(TRegistry& reg)
{
    // From the root, whatever the caller had open.
    reg.CloseKey();
    bool opened = false;
    for (const char* key : {"Software", "Zorvane", "Java Editor"})
        opened = reg.OpenKey(key, true);
    return opened;
}

} // namespace zj
