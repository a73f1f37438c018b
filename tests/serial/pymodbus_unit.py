#!/usr/bin/python3
"""One unit served by pymodbus as Modbus RTU on a pseudo-terminal.

Usage: pymodbus_unit.py REGISTERS UNIT_ID

REGISTERS holds lines "h ADDRESS VALUE" (holding) and "i ADDRESS VALUE"
(input). The server's terminal is joined to a second one by a relay, as two
ports are by a null-modem cable; the path of the client's end is printed.
"""
import asyncio
import os
import select
import sys
import threading
import tty

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


def load(path):
    holding, inputs = [0] * 512, [0] * 512
    with open(path, encoding="ascii") as f:
        for line in f:
            kind, address, value = line.split()
            (holding if kind == "h" else inputs)[int(address)] = int(value)
    return holding, inputs


def relay(a, b):
    while True:
        ready, _, _ = select.select([a, b], [], [])
        for src in ready:
            data = os.read(src, 4096)
            if not data:
                return
            os.write(b if src == a else a, data)


def main():
    holding, inputs = load(sys.argv[1])
    unit = int(sys.argv[2])
    slave = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, holding),
                               ir=ModbusSequentialDataBlock(0, inputs),
                               zero_mode=True)
    context = ModbusServerContext(slaves={unit: slave}, single=False)

    server_master, server_slave = os.openpty()
    client_master, client_slave = os.openpty()
    for fd in (server_slave, client_slave):
        tty.setraw(fd)  # no echo before either side sets its line up
    threading.Thread(target=relay, args=(server_master, client_master), daemon=True).start()
    print(os.ttyname(client_slave), flush=True)
    asyncio.run(StartAsyncSerialServer(context=context, framer=ModbusRtuFramer,
                                       port=os.ttyname(server_slave), baudrate=115200,
                                       ignore_missing_slaves=True))


if __name__ == "__main__":
    main()
