dialkite/front/stored/a1
{"stored":10,"collector":"c1","sig":"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"}