// Announcements that rise from below the screen, stop a little above its
// middle and vanish after whole seconds of engine time.
#pragma once

#include <string>
#include <vector>

class Message {
public:
    // Made by the match flow; life starts at the engine's time of construction.
    Message(std::string text, float x, float y, float speed, int lifespan);
    Message(const Message &) = delete;
    Message &operator=(const Message &) = delete;

    // One frame of rising: by speed while above the stopping line, then exactly on it.
    void Update_Message();
    // The text centred on x with its top at y, in font2; a percent sign stays literal.
    void Draw_Message();

    float Get_Life() const { return life; }
    int Get_Lifespan() const { return lifespan; }
    float Get_Y() const { return y; }
    const std::string &Get_Text() const { return text; }

private:
    std::string text;
    float x;
    float y;
    float speed;
    float life;  // a moment of engine time, not a countdown
    int lifespan;
};

// The top of a message never rises above this line.
constexpr float MESSAGE_STOP_Y = 90.0f;

// The messages on screen, oldest first; the bag owns them.
extern std::vector<Message *> message_bag;

// Called by Game once per frame while messages are pending and no move is
// animated: rises every message and destroys those whose lifespan is over.
void Check_Messages();
// Destroys every message: the bag empty, as at program start.
void Clear_Messages();
