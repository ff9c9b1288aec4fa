#pragma once

#include "registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zj {

// The kind of a document; at the same time the index into TDocTypeList, the
// item index of the frame's type selector and the Tag of the New commands.
enum TDocType : std::uint8_t { dtJava = 0, dtHtml = 1, dtText = 2, dtOther = 3 };

// How the text of a kind is coloured; the widgets map it to a lexer.
enum class TSyntax : std::uint8_t { None, Java, Html };

struct TDocFilter {
    std::string Filter;     // "description|mask"
    std::string DefaultExt; // without the dot; empty for dtOther
};

// The four document kinds in the order of TDocType; owns their filters.
class TDocTypeList {
public:
    TDocTypeList();

    void InitDocTypes();
    void Clear();

    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Strings(int index) const { return entries_.at(index).first; }
    const TDocFilter* Objects(int index) const { return entries_.at(index).second.get(); }

    std::string GetDefaultExt(TDocType docType) const;
    TSyntax GetSyntax(TDocType docType) const;
    // The kind an extension (with or without its dot, in any letter case)
    // belongs to; dtOther for any other.
    TDocType GetDocType(std::string_view ext) const;
    // The file-dialog filter of every kind, first's filter first and then the
    // others in list order.
    static std::string DialogFilter(TDocType first);

private:
    std::vector<std::pair<std::string, std::unique_ptr<TDocFilter>>> entries_;
};

// Program-wide settings shared by the frame, the commands and the dialogs.
extern std::string JavaCompilerPath;
extern std::string BrowserExe;
extern bool ShowCompileWindow;

// Positions reg on Software\Zorvane\Java Editor below its root, creating
// missing keys; true when the last open succeeded.
bool OpenAppKey(TRegistry& reg);

} // namespace zj
