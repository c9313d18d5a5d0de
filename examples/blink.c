/*
 * blink.c: a first program for an AT89C2051 (or any 8051 of the family) on the
 * programmer's bench. It toggles an LED on P1.0 about twice a second with a
 * 12 MHz crystal, and counts the blinks on P3 (pins P3.0..P3.5, P3.7).
 *
 * Build with Debian's sdcc (see README.md in this folder):
 *   sdcc -mmcs51 --code-size 2048 blink.c && packihx blink.ihx > blink.hex
 */
#include <8051.h>

static void delay_ms(unsigned int ms)
{
    unsigned char i;
    while (ms--) {
        /* About 1 ms at 12 MHz: 250 turns of a 4-cycle loop. */
        for (i = 250; i != 0; i--)
            __asm nop __endasm;
    }
}

void main(void)
{
    unsigned char count = 0;
    P3 = 0xFF;
    for (;;) {
        P1_0 = 0; /* LED on (sinks current) */
        delay_ms(250);
        P1_0 = 1; /* LED off */
        delay_ms(250);
        P3 = ~++count;
    }
}
