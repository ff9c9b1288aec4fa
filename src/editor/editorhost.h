#pragma once

#include "zidarodadefs.h"

#include <QString>

#include <optional>
#include <string>

namespace zj {

// What an editor window needs of the frame that holds it. The frame
// implements it, so the editor never depends on the frame.
class TRecoveryStore;

class IEditorHost {
public:
    virtual const TDocTypeList& DocTypeList() const = 0;
    // The read-only box of the open dialog, as the user last left it.
    virtual bool OpenReadOnly() const = 0;
    // Asks for the name to save a document of that kind under: the name
    // chosen, completed with the kind's default extension when it has none,
    // or nothing when the user cancelled.
    virtual std::optional<std::string> AskSaveName(TDocType docType) = 0;
    virtual void UpdateMenuItems() = 0;
    // Writes the status bar's single text (the outcome of a search).
    virtual void ShowStatus(const QString& text) = 0;
    // Where the recovery copies of unsaved documents go; null for none.
    virtual TRecoveryStore* RecoveryStore() = 0;

protected:
    ~IEditorHost() = default;
};

} // namespace zj
