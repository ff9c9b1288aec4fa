#include "formresources.h"

#include <QtCore/qglobal.h>

static void InitResources()
{
    Q_INIT_RESOURCE(forms);
}

namespace zj {

void InitFormResources()
{
    static const bool done = (InitResources(), true);
    (void)done;
}

} // namespace zj
