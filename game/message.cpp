#include "message.h"

#include <utility>

#include "resources.h"

std::vector<Message *> message_bag;

// Messages still on screen when the program ends go with the bag; defined
// after it, so it is destroyed before the bag.
static struct Message_Bag_Owner {
    ~Message_Bag_Owner() { Clear_Messages(); }
} message_bag_owner;

Message::Message(std::string text, float x, float y, float speed, int lifespan)
    : text(std::move(text)), x(x), y(y), speed(speed), life(hge->Timer_GetTime()),
      lifespan(lifespan)
{
}

void Message::Update_Message()
{
    if (y > MESSAGE_STOP_Y)
        y -= speed;
    else
        y = MESSAGE_STOP_Y;
}

void Message::Draw_Message()
{
    font2->printf(x, y, TEXT_CENTER, "%s", text.c_str());
}

static bool Expired(const Message *message)
{
    return hge->Timer_GetTime() >= message->Get_Life() + message->Get_Lifespan();
}

void Check_Messages()
{
    size_t i = 0;
    while (i < message_bag.size()) {
        if (Expired(message_bag[i])) {
            delete message_bag[i];
            // The message behind moves into position i and is examined next.
            message_bag.erase(message_bag.begin() + i);
            continue;
        }
        message_bag[i]->Update_Message();
        ++i;
    }
}

void Clear_Messages()
{
    for (Message *message : message_bag)
        delete message;
    message_bag.clear();
}
