// The game functions a plugin hooks with GameWrapper::HookEvent.
#pragma once

namespace Quillfort::Events {
inline constexpr char matchEnded[] = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
inline constexpr char playerScored[] = "Function TAGame.GameEvent_Soccar_TA.EventPlayerScored";
inline constexpr char firstBallHit[] = "Function TAGame.GameEvent_Soccar_TA.EventFirstBallHit";
inline constexpr char enteredMenu[] = "Function TAGame.MenuSequence_TA.EventEnteredSequence";
} // namespace Quillfort::Events
