#pragma once

namespace kelvora {

// Registers the resources compiled into the program (the help document, the images). The
// library is static, so nothing else would keep them in the program. Safe to call often.
void InitResources();

}  // namespace kelvora
