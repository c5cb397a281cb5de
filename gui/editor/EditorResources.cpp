#include "gui/editor/EditorResources.h"

#include "gui/backend/Resources.h"

namespace Quarrytone {

void InitializeEditorResources() { InitializeResources(); }
void ShutdownEditorResources() { ShutdownResources(); }

}  // namespace Quarrytone
