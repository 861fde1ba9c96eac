#!/usr/bin/python3
"""A Modbus TCP server standing in for a gateway with one sensor behind it,
for kv9240b's tests: modbus_tcp_server.py PORT STATION REGISTER...
(listens on 127.0.0.1 only; holding registers from 0)."""
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartTcpServer

port, station = int(sys.argv[1]), int(sys.argv[2])
registers = [int(value) & 0xFFFF for value in sys.argv[3:]]
sensor = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, registers), zero_mode=True)
StartTcpServer(context=ModbusServerContext(slaves={station: sensor}, single=False), address=("127.0.0.1", port))
