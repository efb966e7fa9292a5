#!/usr/bin/python3
"""Players who cheat or attack a shared game: each is refused or cut off, and the game goes on
with the honest players' scores as the rules give them.
Usage: hostile_clients.py POCKETPERNA QUIZ"""
import asyncio
import json
import re
import socket as sockets
import sys

import websockets

from partyhost import Host, closed, receive, refused

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def http_status(host, request):
    with sockets.create_connection(("127.0.0.1", host.port), 5) as s:
        s.sendall(request.encode())
        reply = s.recv(65536).decode("latin-1")
    return reply.split(" ", 2)[1], reply


def page_text(host):
    """The whole join page, read until its end."""
    with sockets.create_connection(("127.0.0.1", host.port), 5) as s:
        s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % host.port)
        reply = b""
        while b"</html>" not in reply:
            part = s.recv(65536)
            if not part:
                break
            reply += part
    return reply.decode("utf-8", "replace")


async def join(host, name, pin=None):
    socket = await host.connect()
    await socket.send(json.dumps({"type": "join", "pin": pin or host.pin, "name": name}))
    return socket, await receive(socket, "joined")


async def files_and_origins(host):
    for path in ["/../../../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/play.js/../../../etc/passwd",
                 "//etc/passwd", "/party/index.html", "/index.html?x=../../etc/passwd"]:
        status, reply = http_status(host, "GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % (path, host.port))
        check(status in ("400", "404") and "root:" not in reply, "path %s gave %s" % (path, status))
    status, _ = http_status(host, "GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % host.port)
    check(status == "200", "the page itself is served")
    page = page_text(host)
    check(re.search(r'id="name" maxlength="[1-9][0-9]*"', page) is not None, "the name field has the ranking's length")
    check(re.search(r'maxlength="%d" pattern="\[0-9\]\{[1-9],%d\}"' % (len(host.pin), len(host.pin)), page) is not None,
          "the PIN field takes as many digits as the host's PIN")
    status, _ = http_status(host, "GET / HTTP/1.1\r\nHost: rebound.example:%d\r\n\r\n" % host.port)
    check(status == "403", "a foreign Host name is refused")
    status, _ = http_status(host, "GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: http://evil.example\r\n\r\n" % host.port)
    check(status == "403", "a foreign Origin on the page is refused")
    check(await refused(host, origin="http://evil.example"), "a socket from a foreign Origin is closed")
    check(await refused(host, path="/other"), "a socket on another path is closed")


async def host_page(host):
    """Only the host key brings the PIN; a forged key is cut off with nothing in hand."""
    forger = await host.connect()
    await forger.send(json.dumps({"type": "host", "key": "0" * 32, "action": "watch"}))
    heard = []
    try:
        while True:
            heard.append(await asyncio.wait_for(forger.recv(), 5))
    except (websockets.ConnectionClosed, asyncio.TimeoutError):
        pass
    check(not any(host.pin in text for text in heard), "a forged host key hears no PIN")
    check(forger.closed, "a forged host key closes the connection")
    owner = await host.connect()
    await owner.send(json.dumps({"type": "host", "key": host.key, "action": "watch"}))
    check((await receive(owner, "welcome"))["pin"] == host.pin, "the host page is told the PIN")
    await owner.close()
    player, _ = await join(host, "twofaced")
    await player.send(json.dumps({"type": "host", "key": host.key, "action": "watch"}))
    check(await closed(player), "a player's connection cannot become the host's")
    status, _ = http_status(host, "GET /qr.svg HTTP/1.1\r\nHost: rebound.example:%d\r\n\r\n" % host.port)
    check(status == "403", "the QR code goes to no foreign Host name")


async def bad_messages(host):
    for payload in ["{not json", "[]", json.dumps({"type": "join", "pin": host.pin, "name": "x" * 5000}),
                    "x" * 5000, json.dumps({"type": "answer", "question": 1, "choice": 1}), b"\x00\x01binary"]:
        socket = await host.connect()
        await socket.send(payload)
        check(await closed(socket), "closed after %r" % (payload[:40],))
    socket = await host.connect()
    for attempt in range(3):
        await socket.send(json.dumps({"type": "join", "pin": "000000" if host.pin != "000000" else "111111",
                                      "name": "guess"}))
    check((await receive(socket, "refused"))["reason"] == "pin", "a wrong PIN is refused")
    check(await closed(socket), "three wrong PINs close the connection")
    socket = await host.connect()
    await socket.send(json.dumps({"type": "rejoin", "token": "0123456789abcdef0123456789abcdef"}))
    check((await receive(socket, "refused"))["reason"] == "token", "a forged token is refused")
    await socket.close()
    socket = await host.connect()
    await socket.send(json.dumps({"type": "host", "key": "0" * 32, "action": "end"}))
    check(await closed(socket), "a wrong host key closes the connection")


async def flood(host):
    socket = await host.connect()
    message = json.dumps({"type": "rejoin", "token": "f" * 32})
    try:
        for _ in range(1000):
            await socket.send(message)
    except Exception:
        pass
    check(await closed(socket), "1,000 messages a second close the connection")


async def game(host):
    alice, joined = await join(host, "alice")
    bob, _ = await join(host, "bob")
    check("token" not in json.dumps(await receive(bob, "lobby")), "the lobby names nobody's token")
    await host.control("start")
    question = await receive(alice, "question")
    check("right" not in question, "a question holds no right answer")
    number = question["number"]
    await alice.send(json.dumps({"type": "answer", "question": number + 1, "choice": 1}))
    check((await receive(alice, "answerRefused"))["reason"] == "question", "an answer to another question is refused")
    await alice.send(json.dumps({"type": "answer", "question": number, "choice": 1}))
    await receive(alice, "ack")
    await alice.send(json.dumps({"type": "answer", "question": number, "choice": 2}))
    check((await receive(alice, "answerRefused"))["reason"] == "twice", "a second answer is refused")
    # An answer for bob with his name or an id in it is no answer of ours at all.
    await alice.send(json.dumps({"type": "answer", "question": number, "choice": 3, "player": 2}))
    check(await closed(alice), "an answer naming another player closes the connection")
    alice, _ = await host.connect(), None
    await alice.send(json.dumps({"type": "rejoin", "token": joined["token"]}))
    await receive(alice, "joined")
    await host.control("skip")
    result = await receive(bob, "result")
    check(result["yours"] == 0 and result["score"] == 0, "nobody answered for bob")
    await bob.send(json.dumps({"type": "answer", "question": number, "choice": result["right"]}))
    check((await receive(bob, "answerRefused"))["reason"] == "closed", "an answer after the deadline is refused")
    alice_result = await receive(alice, "result")
    check(alice_result["yours"] == 1, "alice's first answer stands")
    check(alice_result["score"] == (alice_result["points"] if alice_result["correct"] else 0), "alice's score is one answer's")
    await host.control("end")
    final = await receive(bob, "final")
    names = [row["name"] for row in final["standings"] if row["name"] != "twofaced"]
    check(names in (["alice", "bob"], ["bob", "alice"]), "both stay in the standings")


async def main(program, quiz):
    host = Host(program, quiz, 2)
    try:
        await files_and_origins(host)
        await host_page(host)
        await bad_messages(host)
        await flood(host)
        await game(host)
        check(host.alive(), "the host is still running")
        status, _ = http_status(host, "GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % host.port)
        check(status == "200", "the host still serves its page")
    finally:
        host.close()
    print("%d failures" % len(failures))
    return 1 if failures else 0


sys.exit(asyncio.run(main(sys.argv[1], sys.argv[2])))
