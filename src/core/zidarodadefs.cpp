#include "zidarodadefs.h"

#include "sysutils.h"

namespace zj {

std::string JavaCompilerPath;
std::string BrowserExe;
bool ShowCompileWindow = false;

namespace {

struct DocTypeEntry {
    const char* name;
    const char* description;
    const char* mask;
    const char* defaultExt;
};

constexpr DocTypeEntry DocTypeTable[] = {
    {"Java", "Java files (*.java)", "*.java", "java"},
    {"Html", "Html files (*.htm, *.html)", "*.htm;*.html", "html"},
    {"Text", "Text files (*.txt)", "*.txt", "txt"},
    {"Other", "All files (*.*)", "*.*", ""},
};

} // namespace

TDocTypeList::TDocTypeList()
{
    InitDocTypes();
}

void TDocTypeList::InitDocTypes()
{
    Clear();
    for (const DocTypeEntry& entry : DocTypeTable) {
        auto filter = std::make_unique<TDocFilter>();
        filter->Filter = std::string(entry.description) + "|" + entry.mask;
        filter->DefaultExt = entry.defaultExt;
        entries_.emplace_back(entry.name, std::move(filter));
    }
}

void TDocTypeList::Clear()
{
    entries_.clear();
}

std::string TDocTypeList::GetDefaultExt(TDocType docType) const
{
    switch (docType) {
    case dtJava:
        return "java";
    case dtHtml:
        return "html";
    case dtText:
        return "txt";
    default:
        return {};
    }
}

TDocType TDocTypeList::GetDocType(std::string_view ext) const
{
    const std::string upper = UpperCaseAscii(ext);
    if (upper == ".JAVA" || upper == "JAVA")
        return dtJava;
    if (upper == "HTM" || upper == "HTML" || upper == ".HTM" || upper == ".HTML")
        return dtHtml;
    if (upper == "TXT" || upper == ".TXT")
        return dtText;
    return dtOther;
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
