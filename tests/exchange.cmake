# src/exchange: the request queue every sender but the operator goes through, on the line
# without a window.
zeva_add_test(tst_exchange_queue SOURCES tst_exchange_queue.cpp LIBS zeva_exchange)
