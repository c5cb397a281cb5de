// The module-wide resources every editor window draws with (shared fonts, embedded images): a host
// binding sets them up before its first window and releases them after its last. Both are idempotent;
// GUI thread (or module load and unload) only.
#pragma once

namespace Quarrytone {

void InitializeEditorResources();
void ShutdownEditorResources();

}  // namespace Quarrytone
