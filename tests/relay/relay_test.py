#!/usr/bin/env python3
"""The relay's protocol scenarios, as clients see them (docs/online.md).

Each scenario starts the real torvek-relay on a free port of 127.0.0.1 and
talks to it through Python's websockets. The rules are never played here:
relay_rules_check (rules_check.cc) gives the hashes and the legal moves.

    relay_test.py SCENARIO      (RELAY_PROGRAM, RELAY_RULES_CHECK set by ctest)
"""

import asyncio
import http.client
import json
import os
import random
import re
import select
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

import websockets

RELAY = os.environ.get("RELAY_PROGRAM", "torvek-relay")
RULES_CHECK = os.environ.get("RELAY_RULES_CHECK", "relay_rules_check")
EMBEDDED = os.environ.get("RELAY_EMBEDDED", "embedded_relay")
STORE_RACE = os.environ.get("RELAY_STORE_RACE", "relay_store_race")
OPENSSL = os.environ.get("RELAY_OPENSSL") or "openssl"
CONFIG = os.environ.get("RELAY_CONFIG", os.path.join(os.path.dirname(__file__), "..", "..", "dist", "relay"))

ANSWER_TIME = 3.0  # seconds an answer may take on a busy machine
QUIET_TIME = 0.3  # seconds in which nothing must arrive
MOVE_PACE = 0.06  # seconds between a room's moves
START_TIME = 10.0
HELLO = {"type": "hello", "protocol": 1, "game": "0.7"}
CODE_FORM = re.compile(r"^[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}$")
HASH_FORM = re.compile(r"^[0-9a-f]{16}$")


class Relay:
    """A torvek-relay process on a free port, stopped by the scenario."""

    def __init__(self, *options, program=(RELAY,)):
        self.process = subprocess.Popen(
            [*program, "--listen", "127.0.0.1:0", *options],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.pending = b""
        line = self.read_line()
        match = re.match(r"torvek-relay: relaying on (wss?)://127\.0\.0\.1:(\d+)/$", line)
        if not match:
            self.process.kill()
            raise AssertionError(f"the relay said {line!r}: {self.process.stderr.read().decode()}")
        self.scheme, self.port = match.group(1), int(match.group(2))
        self.url = f"{self.scheme}://127.0.0.1:{self.port}/"
        self.page_line = self.read_line() if "--page" in options else ""
        self.client_options = {}  # for every client's connect: TLS

    def read_line(self):
        """The relay's next line of output, or "" if none comes in time."""
        deadline = time.monotonic() + START_TIME
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self.process.stdout], [], [], max(left, 0))
            chunk = os.read(self.process.stdout.fileno(), 4096) if ready else b""
            if not chunk:
                return ""
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode()

    def stop(self, how=signal.SIGTERM, within=10.0):
        if self.process.poll() is None:
            self.process.send_signal(how)
        try:
            return self.process.wait(within)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None


class Client:
    """One WebSocket connection to the relay, reading JSON messages."""

    def __init__(self, connection):
        self.connection = connection
        self.seen = []  # every text received, to look for leaked tokens

    @classmethod
    async def open(cls, relay, greet=True, **options):
        options = {**relay.client_options, **options}
        client = cls(await asyncio.wait_for(websockets.connect(relay.url, **options), ANSWER_TIME))
        OPEN_CLIENTS.append(client)
        if greet:
            await client.send(HELLO)
            await client.expect("welcome", protocol=1)
        return client

    async def send(self, message):
        await self.connection.send(message if isinstance(message, (str, bytes)) else json.dumps(message))

    async def recv(self, within=ANSWER_TIME):
        text = await asyncio.wait_for(self.connection.recv(), within)
        self.seen.append(text)
        return json.loads(text)

    async def expect(self, kind, within=ANSWER_TIME, **members):
        message = await self.recv(within)
        assert message["type"] == kind, f"expected {kind}, got {message}"
        for name, value in members.items():
            assert message.get(name) == value, f"{name} should be {value!r} in {message}"
        return message

    async def quiet(self, seconds=QUIET_TIME):
        try:
            message = await asyncio.wait_for(self.connection.recv(), seconds)
        except asyncio.TimeoutError:
            return
        raise AssertionError(f"nothing should have arrived, got {message}")

    async def closed(self, within=ANSWER_TIME):
        """Reads until the relay closes; returns the close code and reason."""
        deadline = time.monotonic() + within
        try:
            while time.monotonic() < deadline:
                await asyncio.wait_for(self.connection.recv(), deadline - time.monotonic())
        except websockets.ConnectionClosed as closed:
            return closed.code, closed.reason
        raise AssertionError("the relay did not close the connection")

    async def close(self):
        await self.connection.close()


# ---------------------------------------------------------------- the rules

def record_text(first, moves):
    lines = ["torvek-match 1", f"first {first}"]
    lines += [f"{move['kind']} {move['from']} {move['to']}" for move in moves]
    return "\n".join(lines) + "\n"


def rules(command, first, moves):
    result = subprocess.run([RULES_CHECK, command], input=record_text(first, moves),
                            capture_output=True, text=True, timeout=10, check=True)
    return result.stdout.split("\n")[:-1]


def hashes(first, moves):
    return rules("hashes", first, moves)


def turn_and_moves(first, moves):
    lines = rules("moves", first, moves)
    legal = []
    for line in lines[1:]:
        kind, source, target = line.split()
        legal.append({"kind": kind, "from": int(source), "to": int(target)})
    return lines[0].split()[1], legal


# ---------------------------------------------------------------- rooms

class Room:
    """A host and a guest in a started room."""

    def __init__(self, host, guest, code, tokens, first):
        self.host, self.guest, self.code, self.tokens, self.first = host, guest, code, tokens, first
        self.moves = []
        self.ids = 0

    def player(self, side):
        return self.host if side == "solids" else self.guest

    def other(self, side):
        return self.guest if side == "solids" else self.host

    def new_id(self):
        self.ids += 1
        return f"m{self.ids}"

    async def play(self, move, watchers=()):
        """Plays a legal move through its side; checks what everyone is sent."""
        side, _ = turn_and_moves(self.first, self.moves)
        # Players move at a player's pace, far under the relay's 20 messages a second.
        await asyncio.sleep(MOVE_PACE)
        number, move_id = len(self.moves), self.new_id()
        mover = self.player(side)
        await mover.send({"type": "move", "number": number, "id": move_id, "move": move})
        await mover.expect("accepted", id=move_id, number=number)
        self.moves.append(move)
        expected_hash = hashes(self.first, self.moves)[-1]
        for client in (mover, self.other(side), *watchers):
            await client.expect("moved", number=number, side=side, move=move, id=move_id, hash=expected_hash)
        return side

    async def play_random(self, chooser, watchers=()):
        _, legal = turn_and_moves(self.first, self.moves)
        return await self.play(chooser.choice(legal), watchers)


async def open_room(relay, guest_relay=None):
    host = await Client.open(relay)
    await host.send({"type": "create"})
    created = await host.expect("created", seat="solids")
    guest = await Client.open(guest_relay or relay)
    # Typed as a player might: lower case, no dash.
    await guest.send({"type": "join", "room": created["room"].replace("-", "").lower()})
    joined = await guest.expect("joined", room=created["room"], seat="stripes")
    start = await guest.expect("start", room=created["room"])
    assert await host.recv() == start
    assert start["hash"] == hashes(start["first"], [])[0]
    return Room(host, guest, created["room"], {"solids": created["token"], "stripes": joined["token"]},
                start["first"])


async def sync_of(client):
    await client.send({"type": "sync"})
    return await client.expect("sync")


OPEN_CLIENTS = []


def run(coroutine):
    """Runs a scenario for at most 90 seconds; drops the connections it left open."""
    async def bounded():
        try:
            return await asyncio.wait_for(coroutine, 90)
        finally:
            for client in OPEN_CLIENTS:
                client.connection.transport.abort()
            OPEN_CLIENTS.clear()
    return asyncio.run(bounded())


class Scenario(unittest.TestCase):
    relay_options = ()

    @classmethod
    def setUpClass(cls):
        cls.relay = Relay(*cls.relay_options)

    @classmethod
    def tearDownClass(cls):
        cls.relay.stop()


# ---------------------------------------------------------------- scenarios

class Match(Scenario):
    def test_a_match_is_relayed_with_the_rules_hashes_to_players_and_watchers(self):
        async def scenario():
            room = await open_room(self.relay)
            self.assertRegex(room.code, CODE_FORM)
            for token in room.tokens.values():
                self.assertRegex(token, r"^[0-9a-f]{32}$")
            self.assertNotEqual(room.tokens["solids"], room.tokens["stripes"])
            chooser = random.Random(7357)
            for _ in range(12):
                await room.play_random(chooser)
            # A watcher coming in late is given the match so far, then all of it.
            watcher = await Client.open(self.relay)
            await watcher.send({"type": "watch", "room": room.code})
            await watcher.expect("watching", room=room.code)
            sync = await watcher.expect("sync", room=room.code, started=True, first=room.first,
                                        moves=room.moves, hash=hashes(room.first, room.moves)[-1])
            self.assertEqual(sync["players"], {"solids": "here", "stripes": "here"})
            sides = set()
            for _ in range(40):
                sides.add(await room.play_random(chooser, [watcher]))
            self.assertEqual(sides, {"solids", "stripes"})
            # Far enough into the match for the sides to have fought.
            self.assertIn("capture", [move["kind"] for move in room.moves])
            for client in (room.host, room.guest, watcher):
                sync = await sync_of(client)
                self.assertEqual((sync["first"], sync["moves"]), (room.first, room.moves))
                self.assertEqual(sync["hash"], hashes(room.first, room.moves)[-1])
            # A watcher moves nothing.
            _, legal = turn_and_moves(room.first, room.moves)
            await watcher.send({"type": "move", "number": len(room.moves), "id": "w", "move": legal[0]})
            await watcher.expect("refused", id="w", code="not-seated", expected=len(room.moves))
            await room.host.quiet()
            # No token ever reaches anyone but its own seat.
            self.assertFalse(any(room.tokens["solids"] in text for text in room.guest.seen + watcher.seen))
            self.assertFalse(any(room.tokens["stripes"] in text for text in room.host.seen + watcher.seen))
            # The first side is drawn: over a few rooms both sides begin.
            firsts = {room.first}
            for _ in range(12):
                other = await open_room(self.relay)
                firsts.add(other.first)
                await other.host.send({"type": "leave"})
                if len(firsts) == 2:
                    break
            self.assertEqual(firsts, {"solids", "stripes"})
        run(scenario())


class Refusals(Scenario):
    def test_moves_the_rules_or_the_seat_refuse_change_nothing(self):
        async def scenario():
            host = await Client.open(self.relay)
            await host.send({"type": "create"})
            await host.expect("created")
            place = {"kind": "place", "from": 0, "to": 4}
            await host.send({"type": "move", "number": 0, "id": "early", "move": place})
            await host.expect("refused", code="not-started", id="early")
            await host.close()

            room = await open_room(self.relay)
            other_room = await open_room(self.relay)
            mover_side = room.first
            waiting_side = "stripes" if mover_side == "solids" else "solids"
            mover, waiting = room.player(mover_side), room.player(waiting_side)
            before = await sync_of(room.host)

            async def refused(client, code, move, number=0, **extra):
                move_id = room.new_id()
                await client.send({"type": "move", "number": number, "id": move_id, "move": move, **extra})
                await client.expect("refused", id=move_id, code=code, expected=len(room.moves))

            await refused(waiting, "not-your-turn", place)
            await refused(mover, "not-your-side", place, side=waiting_side)
            await refused(mover, "wrong-number", place, number=3)
            await refused(mover, "no-such-piece", {"kind": "place", "from": 6, "to": 4})
            await refused(mover, "no-such-cell", {"kind": "place", "from": 0, "to": 9})
            await refused(mover, "not-fighting", {"kind": "capture", "from": 0, "to": 1})
            for client in (room.host, room.guest):
                self.assertEqual(await sync_of(client), before)
            await waiting.quiet()
            # The move for its own side, named, goes through; then the cell is taken.
            await mover.send({"type": "move", "number": 0, "id": "own", "move": place, "side": mover_side})
            await mover.expect("accepted", id="own", number=0)
            room.moves.append(place)
            for client in (mover, waiting):
                await client.expect("moved", number=0, hash=hashes(room.first, room.moves)[-1])
            await refused(waiting, "cell-taken", place, number=1)
            # The other room never heard of any of it, and plays on.
            await other_room.host.quiet()
            await other_room.guest.quiet()
            _, legal = turn_and_moves(other_room.first, [])
            await other_room.play(legal[0])
        run(scenario())


class BadMessages(Scenario):
    def test_bad_messages_are_refused_and_every_room_plays_on(self):
        async def scenario():
            room = await open_room(self.relay)
            bad = await Client.open(self.relay, greet=False)
            await bad.send({"type": "create"})
            await bad.expect("error", code="hello-first")
            await bad.send(HELLO)
            await bad.expect("welcome")
            await bad.send(HELLO)
            await bad.expect("error", code="hello-again")
            cases = [
                ("not json", "not-json", None),
                ("[1, 2]", "not-json", None),
                ('{"type": "move"', "not-json", None),
                ('{"kind": "place"}', "unknown-type", None),
                ('{"type": 7}', "unknown-type", None),
                ('{"type": "teleport"}', "unknown-type", None),
                ('{"type": "join"}', "bad-field", "room"),
                ('{"type": "join", "room": 12345678}', "bad-field", "room"),
                ('{"type": "rejoin", "room": "ABCD-EFGH"}', "bad-field", "token"),
                ('{"type": "move", "id": "x", "move": {"kind": "place", "from": 0, "to": 1}}', "bad-field", "number"),
                ('{"type": "move", "number": "0", "id": "x", "move": {"kind": "place", "from": 0, "to": 1}}',
                 "bad-field", "number"),
                ('{"type": "move", "number": 0.5, "id": "x", "move": {"kind": "place", "from": 0, "to": 1}}',
                 "bad-field", "number"),
                ('{"type": "move", "number": 0, "move": {"kind": "place", "from": 0, "to": 1}}', "bad-field", "id"),
                ('{"type": "move", "number": 0, "id": "x"}', "bad-field", "move"),
                ('{"type": "move", "number": 0, "id": "x", "move": {"kind": "jump", "from": 0, "to": 1}}',
                 "bad-field", "move.kind"),
                ('{"type": "move", "number": 0, "id": "x", "move": {"kind": "place", "from": "a", "to": 1}}',
                 "bad-field", "move.from"),
                ('{"type": "move", "number": 0, "id": "x", "move": {"kind": "place", "from": 0}}',
                 "bad-field", "move.to"),
                ('{"type": "move", "number": 0, "id": "x", "side": "both", '
                 '"move": {"kind": "place", "from": 0, "to": 1}}', "bad-field", "side"),
            ]
            for text, code, field in cases:
                await bad.send(text)
                error = await bad.expect("error", code=code)
                self.assertEqual(error.get("field"), field, text)
                # A few an exchange: the rate limit is not what is tested here.
                await asyncio.sleep(0.06)
            await bad.send(b"\x00\x01binary")
            await bad.expect("error", code="binary")
            await bad.send({"type": "sync"})
            await bad.expect("error", code="not-in-room")
            # A bad message inside a room changes nothing there either.
            before = await sync_of(room.guest)
            await room.host.send('{"type": "move", "number": 0, "id": 5, "move": {}}')
            await room.host.expect("error", code="bad-field", field="id")
            self.assertEqual(await sync_of(room.guest), before)
            _, legal = turn_and_moves(room.first, [])
            await room.play(legal[-1])
            # Another protocol version is refused with its code, and closed.
            old = await Client.open(self.relay, greet=False)
            await old.send({"type": "hello", "protocol": 2, "game": "9.9"})
            await old.expect("error", code="protocol", protocol=1)
            self.assertEqual(await old.closed(), (1008, "protocol"))
            await room.play_random(random.Random(1))
        run(scenario())


class Seats(Scenario):
    relay_options = ("--room-wait", "30")

    def test_seats_are_held_by_their_tokens_across_drops(self):
        async def scenario():
            room = await open_room(self.relay)
            other = await open_room(self.relay)
            chooser = random.Random(3)
            for _ in range(3):
                await room.play_random(chooser)
            side, _ = turn_and_moves(room.first, room.moves)
            other_side = "stripes" if side == "solids" else "solids"
            # A third player finds no seat; a guessed code no room.
            third = await Client.open(self.relay)
            await third.send({"type": "join", "room": room.code})
            await third.expect("error", code="room-full", **{"for": "join"})
            await third.send({"type": "join", "room": "2345-6789" if room.code != "2345-6789" else "3456-789A"})
            await third.expect("error", code="no-such-room")
            await third.send({"type": "join", "room": "ILO0-1111"})
            await third.expect("error", code="no-such-room")
            # Another room's token, or a made-up one, holds no seat here.
            await third.send({"type": "rejoin", "room": room.code, "token": other.tokens["solids"]})
            await third.expect("error", code="bad-token")
            await third.send({"type": "rejoin", "room": room.code, "token": "0" * 32})
            await third.expect("error", code="bad-token")
            await room.host.send({"type": "create"})
            await room.host.expect("error", code="in-room")

            # The side to move drops without a close; the other is told.
            mover = room.player(side)
            mover.connection.transport.abort()
            lost = await room.other(side).expect("peer", side=side, state="lost")
            self.assertEqual(lost["wait"], 30)
            watcher = await Client.open(self.relay)
            await watcher.send({"type": "watch", "room": room.code})
            await watcher.expect("watching")
            sync = await watcher.expect("sync")
            self.assertEqual(sync["players"][side], "lost")
            # Back with its token: it is given the match, the others are told.
            back = await Client.open(self.relay)
            await back.send({"type": "rejoin", "room": room.code.replace("-", ""), "token": room.tokens[side]})
            await back.expect("rejoined", room=room.code, seat=side)
            await back.expect("sync", moves=room.moves, hash=hashes(room.first, room.moves)[-1])
            await room.other(side).expect("peer", side=side, state="back")
            await watcher.expect("peer", side=side, state="back")
            if side == "solids":
                room.host = back
            else:
                room.guest = back
            # A move, then sent again with its id as after a drop: played once.
            _, legal = turn_and_moves(room.first, room.moves)
            move = legal[0]
            number = len(room.moves)
            await back.send({"type": "move", "number": number, "id": "again", "move": move})
            await back.expect("accepted", id="again", number=number)
            room.moves.append(move)
            for client in (back, room.other(side), watcher):
                await client.expect("moved", number=number, id="again")
            await back.send({"type": "move", "number": number, "id": "again", "move": move})
            await back.expect("accepted", id="again", number=number, again=True)
            await room.other(side).quiet()
            self.assertEqual(len((await sync_of(watcher))["moves"]), len(room.moves))

            # A second connection with the token takes the seat over.
            newer = await Client.open(self.relay)
            await newer.send({"type": "rejoin", "room": room.code, "token": room.tokens[side]})
            await newer.expect("rejoined", seat=side)
            await newer.expect("sync")
            await back.expect("error", code="replaced")
            self.assertEqual(await back.closed(), (1008, "replaced"))
            await room.other(side).quiet()
            # The seat that came back has moved: it is the other side's turn now.
            _, legal = turn_and_moves(room.first, room.moves)
            await newer.send({"type": "move", "number": len(room.moves), "id": "x", "move": legal[0]})
            await newer.expect("refused", code="not-your-turn", expected=len(room.moves))

            # Leaving ends the room for everyone at once.
            await newer.send({"type": "leave"})
            await newer.expect("left", room=room.code)
            await room.other(side).expect("ended", reason="left", side=side)
            await watcher.expect("ended", reason="left", side=side)
            await third.send({"type": "rejoin", "room": room.code, "token": room.tokens[other_side]})
            await third.expect("error", code="no-such-room")
            # The other room never noticed.
            await other.play_random(chooser)
            # A connection that left is free to create again.
            await newer.send({"type": "create"})
            await newer.expect("created")
        run(scenario())


class Limits(Scenario):
    def test_each_limit_is_answered_and_the_other_rooms_play_on(self):
        async def scenario():
            room = await open_room(self.relay)
            chooser = random.Random(5)
            # Over 4 KiB: refused, the second time closed.
            big = await Client.open(self.relay)
            await big.send(json.dumps({"type": "create", "pad": "x" * 4096}))
            await big.expect("error", code="too-big")
            await big.send({"type": "create"})
            await big.expect("created")
            await big.send("y" * 5000)
            await big.expect("error", code="too-big")
            self.assertEqual(await big.closed(), (1009, "too-big"))
            # Exactly at the limit is a message like any other.
            edge = await Client.open(self.relay)
            message = {"type": "sync", "pad": ""}
            message["pad"] = "z" * (4096 - len(json.dumps(message)))
            await edge.send(json.dumps(message))
            await edge.expect("error", code="not-in-room")
            await room.play_random(chooser)

            # More than 20 a second: the rest refused; past 40, closed.
            fast = await Client.open(self.relay)
            await asyncio.sleep(1.1)
            for _ in range(25):
                await fast.send({"type": "sync"})
            answers = [(await fast.recv())["code"] for _ in range(25)]
            self.assertEqual(answers.count("not-in-room"), 20, answers)
            self.assertEqual(answers.count("too-fast"), 5, answers)
            await asyncio.sleep(1.1)
            for _ in range(45):
                await fast.send({"type": "sync"})
            self.assertEqual(await fast.closed(), (1008, "too-fast"))
            await room.play_random(chooser)

            # Sixteen open rooms from one address, not seventeen: counting the
            # room above and the one the oversized client created.
            hosts = []
            for _ in range(14):
                host = await Client.open(self.relay)
                await host.send({"type": "create"})
                await host.expect("created")
                hosts.append(host)
            extra = await Client.open(self.relay)
            await extra.send({"type": "create"})
            await extra.expect("error", code="too-many-rooms")
            # A room that ends gives its place back.
            await hosts[0].send({"type": "leave"})
            await hosts[0].expect("left")
            await extra.send({"type": "create"})
            await extra.expect("created")
            await room.play_random(chooser)
        run(scenario())


class Failures(Scenario):
    def test_more_than_ten_failed_joins_a_minute_close_and_refuse(self):
        async def scenario():
            room = await open_room(self.relay)
            guesser = await Client.open(self.relay)
            for attempt in range(10):
                await guesser.send({"type": "join", "room": f"ZZZZ-ZZ{'23456789AB'[attempt]}Z"})
                await guesser.expect("error", code="no-such-room")
                await asyncio.sleep(0.06)
            await guesser.send({"type": "watch", "room": "ZZZZ-ZZZZ"})
            await guesser.expect("error", code="too-many-failures")
            self.assertEqual(await guesser.closed(), (1008, "too-many-failures"))
            # Even the right code is refused from that address for a while.
            again = await Client.open(self.relay)
            await again.send({"type": "watch", "room": room.code})
            await again.expect("error", code="too-many-failures")
            # The players already in their room are not disturbed.
            await room.play_random(random.Random(2))
        run(scenario())


class Connections(Scenario):
    def test_the_thirty_third_connection_from_one_address_is_refused(self):
        async def scenario():
            room = await open_room(self.relay)
            others = [await Client.open(self.relay) for _ in range(30)]
            with self.assertRaises(websockets.InvalidStatusCode) as refused:
                await Client.open(self.relay)
            self.assertEqual(refused.exception.status_code, 429)
            await room.play_random(random.Random(4))
            await others[0].close()
            await asyncio.sleep(QUIET_TIME)
            last = await Client.open(self.relay)
            await last.send({"type": "sync"})
            await last.expect("error", code="not-in-room")
        run(scenario())


class Timeouts(Scenario):
    relay_options = ("--room-wait", "3")

    def test_a_silent_socket_is_closed_after_the_handshake_time(self):
        with socket.create_connection(("127.0.0.1", self.relay.port), timeout=15) as silent:
            began = time.monotonic()
            self.assertEqual(silent.recv(1), b"")
            self.assertGreater(time.monotonic() - began, 8)

    def test_a_frozen_player_is_found_lost_and_its_room_ends_after_the_wait(self):
        async def scenario():
            host = await Client.open(self.relay)
            await host.send({"type": "create"})
            created = await host.expect("created")
            # The guest is a process of its own that stops answering anything, pings too.
            guest = subprocess.Popen([sys.executable, __file__, "--guest", self.relay.url, created["room"]],
                                     stdout=subprocess.PIPE, text=True)
            try:
                start = await host.expect("start", within=START_TIME)
                guest.send_signal(signal.SIGSTOP)
                began = time.monotonic()
                await host.expect("peer", side="stripes", state="lost", within=15)
                found = time.monotonic() - began
                self.assertLess(found, 12)
                self.assertGreater(found, 4)
                await host.expect("ended", reason="abandoned", side="stripes", within=6)
                self.assertGreater(time.monotonic() - began - found, 2)
                await host.send({"type": "sync"})
                await host.expect("error", code="not-in-room")
            finally:
                guest.kill()
                guest.wait()
            self.assertIn(start["first"], ("solids", "stripes"))
        run(scenario())


def guest_process(url, code):
    """The frozen guest of Timeouts: joins, then only sleeps (bounded)."""
    async def join():
        async with websockets.connect(url) as connection:
            await connection.send(json.dumps(HELLO))
            await connection.send(json.dumps({"type": "join", "room": code}))
            await asyncio.sleep(60)
    asyncio.run(join())


class Page(Scenario):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        with open(os.path.join(cls.folder.name, "index.html"), "w") as page:
            page.write("<!doctype html><title>TORVEK</title>")
        with open(os.path.join(cls.folder.name, "torvek.js"), "w") as script:
            script.write("var torvek = 1;\n")
        with open(os.path.join(cls.folder.name, ".hidden"), "w") as hidden:
            hidden.write("no")
        cls.relay_options = ("--page", cls.folder.name, "--origin", "https://play.example")
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.folder.cleanup()

    def get(self, path, method="GET", headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.relay.port, timeout=ANSWER_TIME)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response.status, response.getheader("Content-Type"), body

    def test_the_page_is_served_on_the_relays_port(self):
        self.assertEqual(self.relay.page_line, f"torvek-relay: page on http://127.0.0.1:{self.relay.port}/")
        status, kind, body = self.get("/?join=ABCD-EFGH")
        self.assertEqual((status, kind), (200, "text/html; charset=utf-8"))
        self.assertIn(b"<title>TORVEK</title>", body)
        self.assertEqual(self.get("/")[2], body)
        self.assertEqual(self.get("/torvek.js")[:2], (200, "text/javascript; charset=utf-8"))
        status, _, body = self.get("/torvek.js", method="HEAD")
        self.assertEqual((status, body), (200, b""))
        for path in ("/missing.js", "/../relay_test.py", "/%2e%2e/relay_test.py", "/.hidden", "//etc/passwd"):
            self.assertEqual(self.get(path)[0], 404, path)
        self.assertEqual(self.get("/", method="POST")[0], 405)

    def test_browsers_connect_only_from_the_relays_page_or_a_named_origin(self):
        async def scenario():
            own = f"http://127.0.0.1:{self.relay.port}"
            for origin in (own, "https://play.example", "HTTPS://PLAY.EXAMPLE"):
                client = await Client.open(self.relay, origin=origin)
                await client.close()
            for origin in ("http://evil.example", f"http://127.0.0.1:{self.relay.port + 1}",
                           f"https://127.0.0.1:{self.relay.port}"):
                with self.assertRaises(websockets.InvalidStatusCode) as refused:
                    await Client.open(self.relay, origin=origin)
                self.assertEqual(refused.exception.status_code, 403, origin)
        run(scenario())


class Shutdown(unittest.TestCase):
    def test_sigterm_and_sigint_tell_every_room_close_cleanly_and_exit_0(self):
        for how in (signal.SIGTERM, signal.SIGINT):
            relay = Relay()

            async def scenario():
                room = await open_room(relay)
                watcher = await Client.open(relay)
                await watcher.send({"type": "watch", "room": room.code})
                await watcher.expect("watching")
                await watcher.expect("sync")
                idle = await Client.open(relay)
                relay.process.send_signal(how)
                for client in (room.host, room.guest, watcher):
                    await client.expect("ended", reason="shutdown", room=room.code)
                for client in (room.host, room.guest, watcher, idle):
                    self.assertEqual(await client.closed(), (1001, "shutdown"))
            run(scenario())
            # One signal is enough: the relay exits by itself, promptly.
            self.assertEqual(relay.process.wait(5), 0)


class Embedded(unittest.TestCase):
    def test_the_relay_inside_a_frame_loop_or_on_a_thread_of_its_own(self):
        for mode in ("frames", "thread"):
            relay = Relay(program=(EMBEDDED, mode))

            async def scenario():
                room = await open_room(relay)
                watcher = await Client.open(relay)
                await watcher.send({"type": "watch", "room": room.code})
                await watcher.expect("watching")
                await watcher.expect("sync")
                chooser = random.Random(8)
                for _ in range(10):
                    await room.play_random(chooser, [watcher])
                relay.process.send_signal(signal.SIGTERM)
                for client in (room.host, room.guest, watcher):
                    await client.expect("ended", reason="shutdown")
                    self.assertEqual(await client.closed(), (1001, "shutdown"))
            run(scenario())
            self.assertEqual(relay.stop(within=10), 0, mode)
            last = relay.read_line()
            if mode == "frames":
                # A poll does what is ready and returns: never a frame's wait.
                longest = float(re.match(r"embedded: longest poll ([0-9.]+) ms$", last).group(1))
                self.assertLess(longest, 100)
            else:
                self.assertEqual(last, "embedded: stopped")


class Tls(unittest.TestCase):
    def test_wss_with_a_certificate_of_the_tests_own_authority(self):
        with tempfile.TemporaryDirectory() as folder:
            files = make_certificates(folder)
            relay = Relay("--tls-cert", files["cert"], "--tls-key", files["key"])
            try:
                self.assertEqual(relay.scheme, "wss")
                relay.client_options = {"ssl": ssl.create_default_context(cafile=files["ca"])}

                async def scenario():
                    room = await open_room(relay)
                    _, legal = turn_and_moves(room.first, [])
                    await room.play(legal[0])
                    # Without the authority the certificate is not trusted.
                    with self.assertRaises(ssl.SSLCertVerificationError):
                        await Client.open(relay, ssl=ssl.create_default_context())
                    # Plain WebSocket on the TLS port gets no WebSocket.
                    with self.assertRaises((websockets.InvalidMessage, ConnectionError, EOFError)):
                        await asyncio.wait_for(websockets.connect(f"ws://127.0.0.1:{relay.port}/"), ANSWER_TIME)
                    await room.play_random(random.Random(6))
                run(scenario())
            finally:
                self.assertEqual(relay.stop(), 0)


# ---------------------------------------------------------------- rooms in Redis, shared by relays

def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Redis:
    """redis-server with dist/relay/redis.conf on a free port, its files in a folder of its own."""

    def __init__(self, folder):
        self.folder, self.port, self.process = folder, free_port(), None
        self.start()

    def start(self):
        self.process = subprocess.Popen(
            ["redis-server", os.path.join(CONFIG, "redis.conf"), "--port", str(self.port),
             "--dir", self.folder, "--logfile", os.path.join(self.folder, "redis.log"),
             "--pidfile", os.path.join(self.folder, "redis.pid")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + START_TIME
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), 1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise AssertionError("redis-server did not start")

    def kill(self):
        self.process.kill()
        self.process.wait(10)


def without_redis():
    import shutil
    return shutil.which("redis-server") is None


@unittest.skipIf(without_redis(), "redis-server is needed (Debian: apt-get install redis-server)")
class Shared(unittest.TestCase):
    """Two relays keeping their rooms in one Redis."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.redis = Redis(cls.folder.name)
        # Both believe a proxy on 127.0.0.1; without its header a client is 127.0.0.1.
        cls.relays = [Relay("--redis", f"127.0.0.1:{cls.redis.port}", "--proxy", "127.0.0.1") for _ in range(2)]

    @classmethod
    def tearDownClass(cls):
        for relay in cls.relays:
            relay.stop()
        cls.redis.kill()
        cls.folder.cleanup()

    def test_a_room_is_played_across_relays_and_a_move_for_one_turn_is_played_once(self):
        one, two = self.relays

        async def scenario():
            room = await open_room(one, two)
            watcher = await Client.open(two)
            await watcher.send({"type": "watch", "room": room.code})
            await watcher.expect("watching")
            await watcher.expect("sync")
            chooser = random.Random(11)
            for _ in range(4):
                await room.play_random(chooser, [watcher])
            # The seat to move comes back on the other relay while its old
            # connection still sends: both send a different move for one turn at once.
            side, legal = turn_and_moves(room.first, room.moves)
            old = room.player(side)
            new = await Client.open(two if old is room.host else one)
            number = len(room.moves)
            await asyncio.gather(
                old.send({"type": "move", "number": number, "id": "old", "move": legal[0]}),
                new.send({"type": "rejoin", "room": room.code, "token": room.tokens[side]}),
                new.send({"type": "move", "number": number, "id": "new", "move": legal[-1]}))
            moved = await watcher.expect("moved", number=number)
            self.assertIn(moved["id"], ("old", "new"))
            await watcher.quiet()
            state = await sync_of(watcher)
            self.assertEqual(len(state["moves"]), number + 1)
            room.moves.append(moved["move"])
            self.assertEqual(state["hash"], hashes(room.first, room.moves)[-1])
            # Sent again through the seat's connection now, it is known by its id.
            await new.send({"type": "move", "number": number, "id": moved["id"], "move": moved["move"]})
            while True:
                answer = await new.recv()
                if answer["type"] == "accepted" and answer.get("again"):
                    break
                self.assertIn(answer["type"], ("rejoined", "sync", "refused", "moved", "accepted"))
            self.assertEqual(answer["number"], number)
            await watcher.quiet()

        run(scenario())

    def test_two_relays_appending_one_number_at_once_store_one_move(self):
        # Both relays' scripts for move N are sent before either is answered,
        # round after round; a move sent again through the other relay is known.
        result = subprocess.run([STORE_RACE, f"127.0.0.1:{self.redis.port}"], capture_output=True, text=True,
                                timeout=60)
        self.assertEqual(result.stdout.strip(), "races 50 once 50 again 1", result.stderr)

    def test_rooms_per_address_count_over_every_relay(self):
        # The rooms of the scenarios before are forgotten: this one counts from none.
        subprocess.run(["redis-cli", "-p", str(self.redis.port), "FLUSHALL"], check=True, capture_output=True)

        async def scenario():
            hosts = []
            for made in range(16):
                host = await Client.open(self.relays[made % 2])
                await host.send({"type": "create"})
                await host.expect("created")
                hosts.append(host)
            for relay in self.relays:
                late = await Client.open(relay)
                await late.send({"type": "create"})
                await late.expect("error", code="too-many-rooms")
            await hosts[0].send({"type": "leave"})
            await hosts[0].expect("left")
            await late.send({"type": "create"})
            await late.expect("created")
            for host in hosts[1:] + [late]:
                await host.send({"type": "leave"})
                await host.expect("left")
            # Behind the proxy the address is the one it forwards.
            forwarded = [await Client.open(self.relays[made % 2], extra_headers={"X-Forwarded-For": "127.3.0.7"})
                         for made in range(17)]
            for host in forwarded[:16]:
                await host.send({"type": "create"})
                await host.expect("created")
            await forwarded[16].send({"type": "create"})
            await forwarded[16].expect("error", code="too-many-rooms")
            other = await Client.open(self.relays[0], extra_headers={"X-Forwarded-For": "127.4.0.1, 127.3.0.8"})
            await other.send({"type": "create"})
            await other.expect("created")

        run(scenario())

    def test_a_relay_stopped_keeps_its_rooms_for_the_others(self):
        spare = Relay("--redis", f"127.0.0.1:{self.redis.port}")

        async def scenario():
            room = await open_room(spare, self.relays[0])
            await room.play_random(random.Random(3))
            spare.process.send_signal(signal.SIGTERM)
            self.assertEqual(await room.host.closed(), (1001, "shutdown"))
            back = await Client.open(self.relays[1])
            await back.send({"type": "rejoin", "room": room.code, "token": room.tokens["solids"]})
            await back.expect("rejoined", seat="solids")
            state = await back.expect("sync")
            self.assertEqual(state["moves"], room.moves)
            self.assertEqual(state["players"], {"solids": "here", "stripes": "here"})

        try:
            run(scenario())
            # The one SIGTERM is enough: it exits by itself.
            self.assertEqual(spare.process.wait(20), 0)
        finally:
            spare.stop()

    def test_the_seats_of_a_killed_relay_are_told_lost_and_come_back(self):
        doomed = Relay("--redis", f"127.0.0.1:{self.redis.port}")

        async def scenario():
            room = await open_room(doomed, self.relays[0])
            await room.play_random(random.Random(5))
            doomed.process.kill()
            # Its heartbeat stops: a relay still there finds the host's seat lost.
            await room.guest.expect("peer", side="solids", state="lost", wait=600, within=15)
            back = await Client.open(self.relays[1])
            await back.send({"type": "rejoin", "room": room.code, "token": room.tokens["solids"]})
            await back.expect("rejoined", seat="solids")
            state = await back.expect("sync")
            self.assertEqual(state["moves"], room.moves)
            await room.guest.expect("peer", side="solids", state="back")

        try:
            run(scenario())
        finally:
            doomed.stop()

    def test_without_redis_the_relay_says_so_refuses_rooms_and_recovers(self):
        relay = self.relays[0]

        async def scenario():
            room = await open_room(relay)
            self.redis.kill()
            for client in (room.host, room.guest):
                await client.expect("error", code="unavailable", within=10)
                self.assertEqual(await client.closed(), (1013, "unavailable"))
            host = await Client.open(relay)
            await host.send({"type": "create"})
            await host.expect("error", code="unavailable")
            self.assertEqual(await host.closed(), (1013, "unavailable"))
            self.redis.start()
            deadline = time.monotonic() + 20
            while True:
                host = await Client.open(relay)
                await host.send({"type": "rejoin", "room": room.code, "token": room.tokens["solids"]})
                answer = await host.recv()
                if answer["type"] != "error" or time.monotonic() > deadline:
                    break
                await asyncio.sleep(0.5)
            self.assertEqual(answer["type"], "rejoined")
            await host.send({"type": "leave"})
            await host.expect("sync")
            await host.expect("left")
            # The same relay, never restarted, makes rooms again.
            await host.send({"type": "create"})
            await host.expect("created")

        run(scenario())


def make_certificates(folder):
    """A certificate authority of the test's own and the relay's certificate for 127.0.0.1."""
    files = {name: os.path.join(folder, name + ".pem") for name in ("ca", "ca-key", "cert", "key")}
    request = os.path.join(folder, "request.pem")
    extensions = os.path.join(folder, "extensions.txt")
    with open(extensions, "w") as text:
        text.write("subjectAltName=IP:127.0.0.1\n")
    commands = [
        [OPENSSL, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=TORVEK test authority",
         "-keyout", files["ca-key"], "-out", files["ca"]],
        [OPENSSL, "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
         "-keyout", files["key"], "-out", request],
        [OPENSSL, "x509", "-req", "-in", request, "-CA", files["ca"], "-CAkey", files["ca-key"],
         "-CAcreateserial", "-days", "1", "-extfile", extensions, "-out", files["cert"]],
    ]
    for command in commands:
        subprocess.run(command, check=True, capture_output=True, timeout=60)
    return files


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--guest":
        guest_process(sys.argv[2], sys.argv[3])
        sys.exit(0)
    unittest.main(argv=[sys.argv[0], *sys.argv[1:]], verbosity=2)
