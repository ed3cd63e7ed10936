#!/usr/bin/env python3
"""Watches one room on a relay, as a watcher the relay knows, and prints
what the room sees, a line each, flushed at once, so that the Windows check
can tell whose turn it is and what the program under Wine played:

    watching ROOM
    start FIRST_SIDE
    moved NUMBER SIDE KIND FROM TO
    ended REASON
    error CODE

    watch_room.py URL ROOM SECONDS

Run by tests/windows/program.sh; it stops by itself after SECONDS, when the
room ends or when the relay closes the connection."""
import asyncio
import json
import sys

import websockets

PROTOCOL = 1


def say(line):
    print(line, flush=True)


def line_for(message):
    kind = message.get("type")
    if kind == "watching":
        return f"watching {message['room']}"
    if kind == "start":
        return f"start {message['first']}"
    if kind == "moved":
        move = message["move"]
        return f"moved {message['number']} {message['side']} {move['kind']} {move['from']} {move['to']}"
    if kind == "ended":
        return f"ended {message['reason']}"
    if kind == "error":
        return f"error {message['code']}"
    return None


async def watch(url, room):
    async with websockets.connect(url) as relay:
        await relay.send(json.dumps({"type": "hello", "protocol": PROTOCOL, "game": "windows-check"}))
        await relay.send(json.dumps({"type": "watch", "room": room}))
        async for text in relay:
            line = line_for(json.loads(text))
            if line:
                say(line)
            if line and line.startswith(("ended", "error")):
                return


async def main():
    url, room, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    try:
        await asyncio.wait_for(watch(url, room), seconds)
    except (asyncio.TimeoutError, websockets.ConnectionClosed):
        pass


if __name__ == "__main__":
    asyncio.run(main())
