#pragma once

// Called by the codecs at intervals while they work, so that a caller can show
// progress. nullptr means "no callback".
using ProgressCallback = void (*)();
