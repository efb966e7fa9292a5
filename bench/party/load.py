#!/usr/bin/python3
"""Load benchmark of a shared game: PLAYERS simulated players on loopback answer every question
within its window. Checks that every answer is counted exactly once and states the 99th
percentile from answer to acknowledgement and the host's CPU time per question; then a fifth of
the players drop and rejoin at random moments, and no score may be lost.
Usage: load.py POCKETPERNA QUIZ [PLAYERS] [QUESTIONS]"""
import asyncio
import json
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "party"))
from partyhost import Host, receive  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


class Player:
    def __init__(self, host, name):
        self.host, self.name = host, name
        self.score = 0
        self.token = None
        self.socket = None

    async def join(self):
        self.socket = await self.host.connect()
        await self.socket.send(json.dumps({"type": "join", "pin": self.host.pin, "name": self.name}))
        self.token = (await receive(self.socket, "joined", 30))["token"]

    async def rejoin(self):
        self.socket = await self.host.connect()
        await self.socket.send(json.dumps({"type": "rejoin", "token": self.token}))
        return (await receive(self.socket, "joined", 30))["score"]

    async def play(self, number, latencies, drop):
        question = await receive(self.socket, "question", 60)
        assert question["number"] == number, question
        if drop:
            # Lost the network for a moment: the tab comes back with its token.
            await asyncio.sleep(random.uniform(0, 1))
            await self.socket.close()
            kept = await self.rejoin()
            assert kept == self.score, "%s had %d, came back with %d" % (self.name, self.score, kept)
        await asyncio.sleep(random.uniform(0, 3))
        choice = random.randint(1, 5)
        sent = time.perf_counter()
        await self.socket.send(json.dumps({"type": "answer", "question": number, "choice": choice}))
        ack = await receive(self.socket, "ack", 30)
        latencies.append(time.perf_counter() - sent)
        assert ack["choice"] == choice
        result = await receive(self.socket, "result", 60)
        assert result["yours"] == choice, "the answer counted is the one sent"
        self.score += result["points"]
        assert result["score"] == self.score, "%s: %d != %d" % (self.name, result["score"], self.score)
        return result["correct"]


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


async def main(program, quiz, count, questions):
    host = Host(program, quiz, questions)
    try:
        players = [Player(host, "p%03d" % i) for i in range(count)]
        started = time.perf_counter()
        for chunk in range(0, count, 50):
            await asyncio.gather(*(p.join() for p in players[chunk:chunk + 50]))
        print("%d players joined in %.1f s" % (count, time.perf_counter() - started))
        control = await host.connect()
        await control.send(json.dumps({"type": "host", "key": host.key, "action": "watch"}))
        for number in range(1, questions + 1):
            dropping = number > questions // 2
            droppers = set(random.sample(range(count), count // 5)) if dropping else set()
            latencies = []
            cpu = cpu_seconds(host.process.pid)
            await control.send(json.dumps({"type": "host", "key": host.key,
                                           "action": "start" if number == 1 else "next"}))
            verdicts = await asyncio.gather(*(p.play(number, latencies, i in droppers) for i, p in enumerate(players)))
            used = cpu_seconds(host.process.pid) - cpu
            assert len(latencies) == count
            print("question %d: %d answers counted once (%d right), %d dropped and rejoined; answer->ack p50 %.1f ms, "
                  "p99 %.1f ms; host CPU %.0f ms" % (number, len(latencies), sum(verdicts), len(droppers),
                                                    1000 * percentile(latencies, 0.5), 1000 * percentile(latencies, 0.99),
                                                    1000 * used))
        await control.send(json.dumps({"type": "host", "key": host.key, "action": "end"}))
        final = await receive(players[0].socket, "final", 30)
        standings = {row["name"]: row["score"] for row in final["standings"]}
        lost = [p.name for p in players if standings.get(p.name) != p.score]
        print("final standings: %d players, %s" % (len(standings), "no score lost" if not lost else "LOST: %s" % lost))
        return 1 if lost or len(standings) != count else 0
    finally:
        host.close()


if __name__ == "__main__":
    random.seed(26)
    args = sys.argv[1:]
    sys.exit(asyncio.run(main(args[0], args[1], int(args[2]) if len(args) > 2 else 200,
                              int(args[3]) if len(args) > 3 else 6)))
