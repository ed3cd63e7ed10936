// A match with a friend through a relay (docs/online.md): with an online
// option, N on the menu makes the room (--host) or joins it (--join), or
// watches one (--watch); a screen says what happens while it connects and
// waits, and the match starts when the relay says who places first. In the
// match every move, the player's own and the friend's, is played only once
// the relay has confirmed it; the friend's are shown as the computer's are.
// A lost connection is made again by itself and the seat taken back with its
// token, kept in the player's state folder. Without an online option none of
// this runs and nothing is sent.
#pragma once

#include <string>

#include "moves.h"

enum Online_Role { ONLINE_NONE, ONLINE_HOST, ONLINE_GUEST, ONLINE_WATCHER };

// What the command line asked for.
struct Online_Options {
    Online_Role role = ONLINE_NONE;
    std::string relay;    // ws:// or wss://; empty for --host: the game's own relay
    std::string room;     // the room code of --join and --watch
    std::string ca_file;  // --ca: a private authority for wss://
    int room_wait = 0;    // --room-wait for the game's own relay; 0: the relay's default
};

// Reads an invite link, "http://HOST:PORT/?join=CODE" (https for a relay
// with TLS, watch= for watching) or "CODE@ws://HOST:PORT/", into the
// relay's WebSocket address and the room code; false with the words in *why.
bool Read_Invite(const std::string &link, std::string *relay, std::string *room, std::string *why);

// Called by WinMain before the engine starts; ONLINE_NONE leaves the game as it always was.
void Set_Online(const Online_Options &options);
bool Online_Active();
// Whether the link is over for good (the room ended, the relay turned us
// away or cannot be reached): nothing more will come. For the online tests.
bool Online_Over();

// Called by the menu when N starts a match with an online option: the
// connecting and waiting screen replaces the menu until the relay starts
// the match (or Escape leaves).
void Online_Start();

// Called by Game first in every frame of an online match: takes in what the
// relay sent (the confirmed moves, the friend's comings and goings) and
// connects again after a drop.
void Online_Frame();
// Called by Render_Game when online, last before the picture goes out: a
// line on the friend, or on the connection, while there is one to say.
void Draw_Online_Status();

// Whether the side's player moves by hand now: the seat's own side while no
// move it made waits for the relay. The friend's side and a watcher's never.
bool Online_Moves_By_Hand(int side);
// Called by the turns for a move the player confirmed: sent to the relay,
// played once the relay confirms it.
void Online_Offer(const Move &move);
// The relay's next confirmed move that the game has not started, and
// whether the player made it; it stays the next until Online_Move_Played.
bool Online_Next_Move(Move *move, bool *own);
void Online_Move_Played();
// Called by the turns when a confirmed move does not fit the board: the
// relay's whole match is asked for and played again.
void Online_Resync();

// Called when the program ends (Escape): the room is left, the friend told
// at once, and the connection closed cleanly.
void Online_Quit();
// As at program start: no connection, no room.
void Reset_Online();
