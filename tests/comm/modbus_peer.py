#!/usr/bin/python3
"""A Modbus TCP device of another implementation (pymodbus) for the driver's tests.

Listens on 127.0.0.1:PORT and serves known registers of every type. Every
request is printed as "req FC ADDRESS COUNT", every write as
"set FC ADDRESS V1 V2 ...", so that a test can count the requests of a cycle
and check written values. --forbid T:A:N answers requests touching N items of
table T (co, di, hr, ir) from A on with "illegal data address"; --fail T:A:N
with "slave device failure". --mode close takes a connection and closes it at
the first request; --mode silent takes the requests and never answers.
"""
import argparse
import socket
import struct
import sys
import threading

TABLES = {"co": 1, "di": 2, "hr": 3, "ir": 4}
WRITES = {5: 1, 15: 1, 6: 3, 16: 3}  # write function -> read function of its table


def words(fmt, value):
    raw = struct.pack(">" + fmt, value)
    return list(struct.unpack(">%dH" % (len(raw) // 2), raw))


def swapped(fmt, value):
    high, low = words(fmt, value)
    return [low, high]


def holding():
    regs = [0] * 1000
    regs[0] = 1234
    regs[1] = 0xFFFE  # -2 as i16
    regs[2:4] = words("I", 0x12345678)
    regs[4:6] = words("i", -100000)
    regs[6:8] = words("f", 3.5)
    regs[8:12] = words("d", -2.25)
    regs[12:14] = swapped("I", 0x12345678)
    regs[14:16] = swapped("i", -7)
    regs[16:18] = swapped("f", 1.5)
    regs[20:23] = [0x5075, 0x6D70, 0x2041]  # "Pump A"
    regs[30] = 0b1010
    regs[200] = 200
    regs[300] = 300
    regs[424] = 424
    regs[425] = 425
    return regs


def ranges(texts):
    out = []
    for text in texts or []:
        table, address, count = text.split(":")
        out.append((TABLES[table], int(address), int(count)))
    return out


def touches(limits, function, address, count):
    table = WRITES.get(function, function)
    return any(t == table and address < a + n and a < address + count for t, a, n in limits)


def serve(port, forbid, fail):
    from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
    from pymodbus.server import StartTcpServer

    class Device(ModbusSlaveContext):
        def validate(self, fc_as_hex, address, count=1):
            print("req %d %d %d" % (fc_as_hex, address, count), flush=True)
            if touches(forbid, fc_as_hex, address, count):
                return False
            return super().validate(fc_as_hex, address, count)

        def getValues(self, fc_as_hex, address, count=1):
            if touches(fail, fc_as_hex, address, count):
                raise RuntimeError("the device is failing")
            return super().getValues(fc_as_hex, address, count)

        def setValues(self, fc_as_hex, address, values):
            print("set %d %d %s" % (fc_as_hex, address, " ".join(str(int(v)) for v in values)), flush=True)
            super().setValues(fc_as_hex, address, values)

    coils = [0] * 1000
    coils[0] = coils[5] = 1
    inputs = [0] * 1000
    inputs[1] = 1
    device = Device(
        co=ModbusSequentialDataBlock(0, coils),
        di=ModbusSequentialDataBlock(0, inputs),
        hr=ModbusSequentialDataBlock(0, holding()),
        ir=ModbusSequentialDataBlock(0, [42] + [0] * 49 + [50] * 10 + [0] * 940),
        zero_mode=True,
    )
    StartTcpServer(context=ModbusServerContext(slaves=device, single=True), address=("127.0.0.1", port))


def misbehave(port, close_at_once):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    held = []

    def take(connection):
        while True:
            data = connection.recv(260)
            if not data:
                connection.close()
                return
            print("req raw %d" % len(data), flush=True)
            if close_at_once:
                connection.close()
                return

    while True:
        connection, _ = listener.accept()
        held.append(connection)
        threading.Thread(target=take, args=(connection,), daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--mode", choices=["serve", "close", "silent"], default="serve")
    parser.add_argument("--forbid", action="append")
    parser.add_argument("--fail", action="append")
    args = parser.parse_args()
    if args.mode == "serve":
        serve(args.port, ranges(args.forbid), ranges(args.fail))
    else:
        misbehave(args.port, args.mode == "close")


if __name__ == "__main__":
    sys.exit(main())
