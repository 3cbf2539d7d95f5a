//#TARGET AT90S8515
/* Blinks an LED on PB0 twice a second: the first program to try on a new board. */

#define F_CPU 4000000UL

#include <avr/io.h>
#include <util/delay.h>

int main(void)
{
    DDRB = 0x01;
    for (;;) {
        PORTB ^= 0x01;
        _delay_ms(250);
    }
}
