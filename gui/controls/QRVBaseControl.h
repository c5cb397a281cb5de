// The base of the control family; declared with the engine interface, which takes and drives it.
#pragma once

#include "gui/engine/QRVBaseControl.h"
