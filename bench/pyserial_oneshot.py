#!/usr/bin/python3
# The yardstick for zeva-control --send: the shortest script that does the same with pyserial
# (python3-serial): open the port, write the command, read to the CR, print.
#   pyserial_oneshot.py DEVICE
import sys

import serial

port = serial.Serial(sys.argv[1], 19200, timeout=2)
port.write(b"CR0\r")
print(port.read_until(b"\r"))
