#pragma once
// Turning the computer off after "Clean And Shutdown" has cleaned.
namespace qm {

class AppContext;

void CleanShutDown(AppContext& ctx);

}  // namespace qm
