#!/usr/bin/env python3
"""A WebSocket server on 127.0.0.1 for the engine's network tests.

Listens on a free port and says so on its first line ("listening PORT"),
then tells what happens, one line each: "open PATH", "received TEXT",
"closed CODE" (the code the client closed with). Every text message is echoed back, except these:

    !close REASON   closes the connection cleanly with REASON
    !send N         sends a message of N bytes
    !binary         sends a binary message

A request for /refuse is answered 403. With --cert and --key it speaks TLS
(wss://). SIGTERM closes every connection as a server going away does.
"""
import argparse
import asyncio
import http
import signal
import ssl
import sys

import websockets


def say(line):
    print(line, flush=True)


async def serve_one(websocket, path):
    say(f"open {path}")
    try:
        async for message in websocket:
            if isinstance(message, bytes):
                continue
            say(f"received {message}")
            # An echo that meets the client's close is dropped, and the
            # messages that came before the close are still read and said.
            try:
                if message.startswith("!close "):
                    await websocket.close(1000, message[len("!close "):])
                elif message.startswith("!send "):
                    await websocket.send("x" * int(message[len("!send "):]))
                elif message == "!binary":
                    await websocket.send(b"\x00\x01\x02")
                else:
                    await websocket.send(message)
            except websockets.ConnectionClosed:
                pass
    except websockets.ConnectionClosed:
        pass
    say(f"closed {websocket.close_code}")


async def refuse_some(path, headers):
    if path == "/refuse":
        return http.HTTPStatus.FORBIDDEN, [], b"refused\n"
    return None


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()
    tls = None
    if options.cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(options.cert, options.key)
    stop = asyncio.get_running_loop().create_future()
    asyncio.get_running_loop().add_signal_handler(signal.SIGTERM, stop.set_result, None)
    async with websockets.serve(serve_one, "127.0.0.1", 0, ssl=tls, process_request=refuse_some,
                                ping_interval=None, max_size=2**20) as server:
        say(f"listening {server.sockets[0].getsockname()[1]}")
        await stop
    sys.stdout.flush()


if __name__ == "__main__":
    asyncio.run(main())
